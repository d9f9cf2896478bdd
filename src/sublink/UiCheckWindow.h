#pragma once
// The check-for-subwoofer window of a worker thread: its modal loop runs on the UI thread while the
// worker waits; everything else goes straight to the window.

#include <functional>
#include <memory>
#include <utility>

#include "sublink/Discovery.h"
#include "threading/Prompt.h"

namespace CUsbController {

// Runs fn on the UI thread and returns once it has returned.
using RunOnUi = std::function<bool(const std::function<void()>&)>;

class UiThreadCheckWindow final : public ICheckForUsbSubWindow {
public:
    UiThreadCheckWindow(std::unique_ptr<ICheckForUsbSubWindow> inner, RunOnUi runOnUi)
        : inner_(std::move(inner)), runOnUi_(std::move(runOnUi)) {}

    int DoModal(CCheckForUsbSubDlg& dialog) override {
        int result = kCheckCancel;
        if (inner_)
            runOnUi_([&] { result = inner_->DoModal(dialog); });
        return result;
    }
    void DrawCaption(const std::wstring& caption) override { inner_->DrawCaption(caption); }
    void DrawMessage(const std::wstring& text) override { inner_->DrawMessage(text); }
    void ShowReinstall(bool show) override { inner_->ShowReinstall(show); }
    void MessageBox(const std::wstring& text, const std::wstring& caption) override {
        inner_->MessageBox(text, caption);
    }
    void EndDialog(int result) override { inner_->EndDialog(result); }

private:
    std::unique_ptr<ICheckForUsbSubWindow> inner_;
    RunOnUi runOnUi_;
};

// Routes setup's windows through runOnUi; without a window factory the check asks prompt.
inline void RouteCheckWindowToUi(DeviceCheckSetup& setup, Threading::IPrompt& prompt,
                                 RunOnUi runOnUi) {
    if (!setup.makeWindow)
        setup.makeWindow = [&prompt] {
            return std::make_unique<PromptCheckForUsbSubWindow>(prompt);
        };
    setup.makeWindow = [make = std::move(setup.makeWindow), runOnUi = std::move(runOnUi)] {
        return std::make_unique<UiThreadCheckWindow>(make(), runOnUi);
    };
}

}  // namespace CUsbController
