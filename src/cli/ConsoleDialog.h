#pragma once
// The wizard dialog on a terminal: step name, status lines and a progress bar on an output
// stream (stderr), message boxes through a prompt, and the bridge drained from its own loop on
// the calling (UI) thread. A press of the console's interrupts (Ctrl-C, routed to them while the
// dialog runs) is the dialog's abort request: asked once when askBeforeAbort, otherwise (and at a
// second press) the abort is confirmed at once. An aborted wizard ends cancelled even when its
// step then succeeds, and nothing is saved.

#include <iosfwd>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/ConsolePrompt.h"
#include "threading/Clock.h"
#include "wizard/WizardController.h"
#include "wizard/WizardDialog.h"

class ConsoleWizardDialog : public WizardDialog {
public:
    // prompt, out, clock, outputLock and interrupts (both may be null) must outlive the dialog.
    // terminal says whether out is a terminal: the progress bar then redraws in place. Without
    // interrupts nothing aborts the dialog from the console.
    ConsoleWizardDialog(const WizardDialogSetup& setup, Threading::IPrompt& prompt,
                        std::ostream& out, bool terminal, Threading::IClock& clock,
                        std::mutex* outputLock = nullptr, bool askBeforeAbort = true,
                        Threading::ConsoleInterrupts* interrupts = nullptr);

    int DoModal() override;
    Threading::IPrompt& DialogPrompt() override;
    std::intptr_t OnMessage(const Threading::WND_MSG& message) override;

    bool Aborted() const { return aborted_; }

protected:
    void DrawCaption(const std::wstring& caption) override;
    void DrawEnable(int controlId, bool enabled) override;
    void DrawCheck(int controlId, bool checked) override;
    bool IsChecked(int controlId) const override;
    void DrawStatus(const std::wstring& text) override;
    void DrawProgressRange(int32_t n) override;
    void DrawProgressPos(int32_t n) override;
    void EndDialog(int result) override;

private:
    void Write(const std::string& text);
    void CloseProgressLine();
    void HandleInterrupts(int base);
    int Presses() const { return interrupts_ ? interrupts_->Presses() : 0; }

    // Answers the abort question with Yes: the abort confirmed without asking.
    class ConfirmingPrompt final : public Threading::IPrompt {
    public:
        Threading::MsgResult MessageBox(const std::wstring&, const std::wstring&,
                                        Threading::MsgButtons, Threading::MsgIcon) override {
            return Threading::MsgResult::Yes;
        }
        std::optional<size_t> Choose(const std::wstring&,
                                     const std::vector<std::wstring>&) override {
            return std::nullopt;
        }
    };

    Threading::IPrompt& prompt_;
    ConfirmingPrompt confirmingPrompt_;
    std::ostream& out_;
    bool terminal_;
    Threading::IClock& clock_;
    std::mutex* outputLock_;
    Threading::ConsoleInterrupts* interrupts_;
    std::map<int, bool> checks_;
    std::wstring caption_;
    int32_t range_ = 0;
    int lastPercent_ = -1;
    bool progressLineOpen_ = false;
    bool ended_ = false;
    int result_ = IDCANCEL;
    bool askBeforeAbort_;
    bool confirming_ = false;  // the abort question answers Yes by itself
    bool asked_ = false;
    bool aborted_ = false;
    int handled_ = 0;
};

// A factory for RunWizard that makes console dialogs with these resources.
DialogFactory ConsoleDialogFactory(Threading::IPrompt& prompt, std::ostream& out, bool terminal,
                                   Threading::IClock& clock, std::mutex* outputLock = nullptr,
                                   bool askBeforeAbort = true,
                                   Threading::ConsoleInterrupts* interrupts = nullptr);
