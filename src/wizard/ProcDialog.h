#pragma once
// The progress interface every wizard step receives. A step talks to the user only through
// these operations: status text and progress from any thread, message boxes owned by the
// wizard dialog, and the dialog as parent of its own dialogs.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "threading/Prompt.h"
#include "threading/Window.h"

class IProcDialog {
public:
    virtual ~IProcDialog() = default;

    // One opaque value kept for the step's own use.
    virtual uint32_t GetUserData() const = 0;
    virtual void SetUserData(uint32_t value) = 0;
    // Owner of message boxes and target of posted messages.
    virtual Threading::WindowHandle GetHwnd() const = 0;
    // Status line; thread-safe.
    virtual void SetDisplayString(const std::wstring& text) = 0;
    // A line under the status saying how far the step has come ("Position 3 of 5"), kept until
    // replaced; empty clears it. Thread-safe; a front-end without that line drops it.
    virtual void SetDetail(const std::wstring& text) { (void)text; }
    // The dialog as a window object, the parent of dialogs a step opens.
    virtual Threading::IWindow* GetWnd() = 0;
    // UI thread only.
    virtual void SetTitle(const std::wstring& title) = 0;
    virtual std::wstring GetTitle() const = 0;
    // Progress range 0..n, position reset to 0; thread-safe.
    virtual void SetRange(int32_t n) = 0;
    virtual void OffsetPos(int32_t n) { SetPos(GetPos() + n); }
    virtual void SetPosFromEnd(int32_t n) { SetPos(GetRange() - n); }
    virtual void SetPos(int32_t n) = 0;

    // Modal message boxes owned by the dialog (any thread; they run on the UI thread).
    virtual Threading::IPrompt& Prompt() = 0;
    // Runs fn on the UI thread (a dialog a step opens) and returns once it has returned; false
    // when it did not run because the wizard is being aborted.
    virtual bool OnUiThread(const std::function<void()>& fn) {
        fn();
        return true;
    }

    int32_t GetRange() const { return range_.load(); }
    int32_t GetPos() const { return position_.load(); }

protected:
    std::atomic<int32_t> range_{0};
    std::atomic<int32_t> position_{0};
};

// How every step shows its messages: a box owned by the dialog with the dialog's title as
// caption. Returns the button pressed.
Threading::MsgResult ShowStepMessage(IProcDialog* progress, const std::wstring& text,
                                     Threading::MsgButtons buttons,
                                     Threading::MsgIcon icon = Threading::MsgIcon::None);
