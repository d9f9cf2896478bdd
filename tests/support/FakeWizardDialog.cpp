#include "support/FakeWizardDialog.h"

namespace testing_support {

FakeWizardDialog::FakeWizardDialog(const WizardDialogSetup& setup, Threading::IPrompt& prompt,
                                   Threading::IClock& clock, DialogRecord& record,
                                   std::function<void(FakeWizardDialog&)> onIdle)
    : WizardDialog(setup),
      prompt_(prompt),
      clock_(clock),
      record_(record),
      onIdle_(std::move(onIdle)) {
    record_.templateId = setup.templateId;
}

int FakeWizardDialog::DoModal() {
    AttachWindow();
    OnInitDialog();
    int idle = 0;
    while (!ended_) {
        if (onIdle_)
            onIdle_(*this);
        if (ended_)
            break;
        bool got = Bridge().WaitForMessage(clock_, std::chrono::milliseconds(10));
        Bridge().Drain();
        if (got) {
            idle = 0;
        } else if (++idle > kMaxIdleTurns) {
            record_.result = -1;
            DetachWindow();
            return -1;
        }
    }
    DetachWindow();
    return record_.result;
}

void FakeWizardDialog::DrawCaption(const std::wstring& caption) {
    record_.captions.push_back(caption);
}

void FakeWizardDialog::DrawEnable(int controlId, bool enabled) {
    record_.enabled[controlId] = enabled;
}

void FakeWizardDialog::DrawCheck(int controlId, bool checked) {
    record_.checked[controlId] = checked;
}

bool FakeWizardDialog::IsChecked(int controlId) const {
    auto it = record_.checked.find(controlId);
    return it != record_.checked.end() && it->second;
}

void FakeWizardDialog::DrawStatus(const std::wstring& text) {
    record_.statuses.push_back(text);
}

void FakeWizardDialog::DrawProgressRange(int32_t n) {
    record_.progressRange = n;
}

void FakeWizardDialog::DrawProgressPos(int32_t n) {
    record_.progressPositions.push_back(n);
}

void FakeWizardDialog::EndDialog(int result) {
    record_.result = result;
    ended_ = true;
}

DialogFactory FakeDialogFactory(Threading::IPrompt& prompt, Threading::IClock& clock,
                                DialogRecord& record,
                                std::function<void(FakeWizardDialog&)> onIdle) {
    return [&prompt, &clock, &record,
            onIdle](const WizardDialogSetup& setup) -> std::unique_ptr<WizardDialog> {
        ++record.dialogsMade;
        return std::make_unique<FakeWizardDialog>(setup, prompt, clock, record, onIdle);
    };
}

}  // namespace testing_support
