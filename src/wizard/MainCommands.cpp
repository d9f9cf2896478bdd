#include "wizard/MainCommands.h"

#include "document/DocData.h"
#include "wizard/RunWizard.h"

using Threading::MsgButtons;
using Threading::MsgIcon;
using Threading::MsgResult;

namespace {

void ShowInformation(IMainView& view, const std::wstring& text) {
    view.Prompt().MessageBox(text, view.ApplicationTitle(), MsgButtons::Ok, MsgIcon::None);
}

}  // namespace

bool MeasureCommand(IMainView& view) {
    if (view.HasResults() &&
        view.Prompt().MessageBox(kMeasureOverwriteQuestion, view.ApplicationTitle(),
                                 MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes)
        return false;
    if (!view.RunWizard(kWizardMeasure, kOptionDetectCrossover))
        return false;
    view.Refresh();
    if (!view.RunWizard(kWizardCalculate, kOptionDetectCrossover))
        return false;
    view.Refresh();
    bool uploaded = view.RunWizard(kWizardUpload, 0);
    if (uploaded)
        ShowInformation(view, kUploadSuccessText);
    view.Refresh();
    return uploaded;
}

bool TargetCommand(IMainView& view) {
    bool ok = view.RunWizard(kWizardCalculate, kOptionTargetDialog);
    view.Refresh();
    return ok;
}

bool UploadCommand(IMainView& view) {
    bool ok = view.RunWizard(kWizardUpload, 0);
    if (ok)
        ShowInformation(view, kUploadSuccessText);
    view.Refresh();
    return ok;
}

bool EraseCommand(IMainView& view) {
    bool ok = view.RunWizard(kWizardUpload, kOptionErase | kOptionNoSave);
    if (ok)
        ShowInformation(view, kEraseSuccessText);
    return ok;
}

bool CanCalculate(const DocData& data) {
    return !data.measurements.empty();
}

bool CanUpload(const DocData& data) {
    return data.eq.valid != 0;
}
