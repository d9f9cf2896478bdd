#pragma once
// Progress and abort reporting of long subwoofer operations. MultiThreadedProgress posts to its
// windows through the UI message bridge, so it may be used from a worker thread.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "threading/MessageBridge.h"
#include "threading/Prompt.h"
#include "threading/Window.h"

namespace CUsbController {

class Progress {
public:
    virtual ~Progress() = default;
    virtual void SetRange(uint32_t n) = 0;
    virtual void Step(uint32_t n) = 0;
    virtual void SetStatus(const std::wstring& text) = 0;
    virtual Threading::IWindow* GetWnd() = 0;
    virtual Threading::WindowHandle GetHwnd();
    virtual void Abort();
    virtual bool IsAborted() const;
    // Raises "User Abort" when aborted.
    virtual void CheckAbort() const;
    virtual std::wstring GetStatus() const;
    // A message box owned by the status window; an empty caption becomes the program's name.
    virtual Threading::MsgResult MessageBox(const std::wstring& text, const std::wstring& caption,
                                            Threading::MsgButtons buttons);

    // Where message boxes go; none means they are answered with the first button.
    void SetPrompt(Threading::IPrompt* prompt) { prompt_ = prompt; }

protected:
    void StoreStatus(const std::wstring& text);
    virtual Threading::WindowHandle HandleOf(Threading::IWindow* window);

    std::atomic<uint32_t> aborted_{0};

private:
    mutable std::mutex lock_;
    std::wstring status_;
    Threading::IPrompt* prompt_ = nullptr;
};

class MultiThreadedProgress : public Progress {
public:
    MultiThreadedProgress(Threading::WindowHandle statusWindow, Threading::WindowHandle progressBar,
                          Threading::MessageBridge& bridge);

    void SetRange(uint32_t n) override;
    void Step(uint32_t n) override;
    void SetStatus(const std::wstring& text) override;
    Threading::IWindow* GetWnd() override;
    Threading::WindowHandle GetHwnd() override { return statusWindow_; }

    uint32_t Range() const { return range_; }
    uint32_t Position() const { return position_; }

private:
    Threading::MessageBridge& bridge_;
    Threading::WindowHandle statusWindow_;
    Threading::WindowHandle progressBar_;
    std::atomic<uint32_t> range_{0};
    std::atomic<uint32_t> position_{0};
};

}  // namespace CUsbController
