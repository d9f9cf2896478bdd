#pragma once
// An IProcDialog for testing steps without a dialog: records status texts, titles and progress
// and answers message boxes from a ScriptedPrompt. Thread-safe.

#include <mutex>
#include <string>
#include <vector>

#include "support/ScriptedPrompt.h"
#include "wizard/ProcDialog.h"

namespace testing_support {

class RecordingProcDialog : public IProcDialog {
public:
    explicit RecordingProcDialog(std::wstring title = L"Wizard") : title_(std::move(title)) {}

    uint32_t GetUserData() const override { return userData_.load(); }
    void SetUserData(uint32_t value) override { userData_.store(value); }
    Threading::WindowHandle GetHwnd() const override { return Threading::kNoWindow; }
    void SetDisplayString(const std::wstring& text) override;
    void SetDetail(const std::wstring& text) override;
    Threading::IWindow* GetWnd() override { return nullptr; }
    void SetTitle(const std::wstring& title) override;
    std::wstring GetTitle() const override;
    void SetRange(int32_t n) override;
    void SetPos(int32_t n) override;
    Threading::IPrompt& Prompt() override { return prompt_; }

    ScriptedPrompt& Scripted() { return prompt_; }
    std::vector<std::wstring> Statuses() const;
    std::vector<std::wstring> Details() const;
    // Every position set, in order (SetRange records its reset to 0 too).
    std::vector<int32_t> Positions() const;

private:
    mutable std::mutex lock_;
    std::wstring title_;
    std::vector<std::wstring> statuses_;
    std::vector<std::wstring> details_;
    std::vector<int32_t> positions_;
    std::atomic<uint32_t> userData_{0};
    ScriptedPrompt prompt_;
};

}  // namespace testing_support
