#pragma once
// The wizard dialog on a terminal: step name, status lines and a progress bar on an output
// stream (stderr), message boxes through a prompt, and the bridge drained from its own loop on
// the calling (UI) thread. Ctrl-C while a step runs is the dialog's abort request: asked once
// when askBeforeAbort, otherwise (and at a second Ctrl-C) the abort is confirmed at once. An
// aborted wizard ends cancelled even when its step then succeeds, and nothing is saved.

#include <iosfwd>
#include <map>
#include <mutex>

#include "cli/ConsolePrompt.h"
#include "threading/Clock.h"
#include "wizard/WizardController.h"
#include "wizard/WizardDialog.h"

class ConsoleWizardDialog : public WizardDialog {
public:
    // prompt, out, clock and outputLock (may be null) must outlive the dialog. terminal says
    // whether out is a terminal: the progress bar then redraws in place.
    ConsoleWizardDialog(const WizardDialogSetup& setup, Threading::IPrompt& prompt,
                        std::ostream& out, bool terminal, Threading::IClock& clock,
                        std::mutex* outputLock = nullptr, bool askBeforeAbort = true);

    int DoModal() override;
    Threading::IPrompt& DialogPrompt() override;
    std::intptr_t OnMessage(const Threading::WND_MSG& message) override;

    // Async-signal-safe: one Ctrl-C, handled by the running dialog's loop.
    static void RequestAbort() noexcept;
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

    Threading::IPrompt& prompt_;
    std::ostream& out_;
    bool terminal_;
    Threading::IClock& clock_;
    std::mutex* outputLock_;
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
                                   bool askBeforeAbort = true);
// The command line's front-end: the standard console prompt and stderr.
DialogFactory StandardConsoleDialogFactory(Threading::PresetAnswer preset);
