#pragma once
// A wizard dialog double: runs the real dialog logic, draws into a record that outlives the
// dialog, and delivers the bridge's messages from its modal loop.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "threading/Clock.h"
#include "wizard/WizardController.h"
#include "wizard/WizardDialog.h"

namespace testing_support {

struct DialogRecord {
    int templateId = 0;
    std::vector<std::wstring> captions;
    std::vector<std::wstring> statuses;
    std::map<int, bool> enabled;
    std::map<int, bool> checked;
    int32_t progressRange = 0;
    std::vector<int32_t> progressPositions;
    int result = 0;          // IDOK, IDCANCEL, or -1 when the loop gave up
    size_t dialogsMade = 0;  // by the factory
};

class FakeWizardDialog : public WizardDialog {
public:
    // onIdle runs on the dialog's thread once per turn of the modal loop (e.g. to press Abort).
    FakeWizardDialog(const WizardDialogSetup& setup, Threading::IPrompt& prompt,
                     Threading::IClock& clock, DialogRecord& record,
                     std::function<void(FakeWizardDialog&)> onIdle = {});

    int DoModal() override;
    Threading::IPrompt& DialogPrompt() override { return prompt_; }

    // The user's actions.
    void PressStart() { OnStart(); }
    void PressAbort() { OnAbort(); }
    void PressEscape() { OnCancel(); }

    // Gives up (result -1) after this many empty turns of the loop: a hung wizard fails its test
    // instead of blocking it. A turn of the virtual clock takes its real grace (a few ms), so this
    // leaves a step tens of seconds, enough for a fit under ThreadSanitizer; giving up earlier
    // would end the dialog under a step that still reports to it.
    static constexpr int kMaxIdleTurns = 6000;

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
    Threading::IPrompt& prompt_;
    Threading::IClock& clock_;
    DialogRecord& record_;
    std::function<void(FakeWizardDialog&)> onIdle_;
    bool ended_ = false;
};

DialogFactory FakeDialogFactory(Threading::IPrompt& prompt, Threading::IClock& clock,
                                DialogRecord& record,
                                std::function<void(FakeWizardDialog&)> onIdle = {});

}  // namespace testing_support
