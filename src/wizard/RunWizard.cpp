#include "wizard/RunWizard.h"

#include <stdexcept>

#include "threading/Errors.h"
#include "wizard/WizardDialog.h"

namespace {

StepFunction Unavailable(const wchar_t* name) {
    std::wstring text = std::wstring(L"The ") + name + L" step is not available in this build.";
    return [text](IProcDialog*, void*, void*) -> bool { throw tsl::wruntime_error(text); };
}

// Moves the data back into the working copy even when saving throws, so the wizard never
// hands an emptied record back to the document.
struct MoveBack {
    DocData& working;
    DocData& document;
    ~MoveBack() { working.MoveFrom(document); }
};

}  // namespace

WizardStepTable WizardStepTable::Defaults() {
    return WizardStepTable{Unavailable(L"Measure"), Unavailable(L"Calculate"),
                           Unavailable(L"Upload"), Unavailable(L"Verify")};
}

std::vector<WizardStep> StepsForKind(int kind, uint32_t options, const WizardStepTable& table) {
    switch (kind) {
        case kWizardMeasure:
            return {WizardStep{table.measure, L"Measure"}};
        case kWizardCalculate:
            return {WizardStep{table.calculate, L"Calculate"}};
        case kWizardUpload:
            if (options & kOptionErase)
                return {WizardStep{table.upload, L"Erase"}};
            if (options & kOptionRestore)
                return {WizardStep{table.upload, L"Restore"}};
            return {WizardStep{table.upload, L"Upload"}};
        case kWizardVerify:
            return {WizardStep{table.verify, L"Verify"}};
        default:
            return {};
    }
}

bool RunWizard(int kind, Threading::IWindow* parentWindow, IWizardDocument& document,
               uint32_t options, const WizardEnvironment& environment, std::wstring* failureText) {
    if (environment.bridge == nullptr)
        throw std::logic_error("RunWizard needs the UI thread's message bridge");
    Threading::MessageBridge& bridge = *environment.bridge;
    if (failureText)
        failureText->clear();
    SaveProgressRecord record;
    record.document = &document;
    // A wizard that does not succeed leaves the document as it was before it ran.
    DocData before;
    before.CopyFrom(document.Data());
    record.working.MoveFrom(document.Data());

    bool result = false;
    {
        // The controller outlives the dialog; both are gone (the worker joined) before the
        // data goes back, even when the dialog throws.
        struct Restore {
            SaveProgressRecord& record;
            DocData& before;
            const bool& succeeded;
            ~Restore() { record.document->Data().MoveFrom(succeeded ? record.working : before); }
        } restore{record, before, result};
        WizardController controller(StepsForKind(kind, options, environment.steps), bridge);
        SaveCallback callback = (options & kOptionNoSave) ? nullptr : &SaveProgress;
        std::unique_ptr<WizardDialog> dialog =
            controller.CreateDialog(environment.makeDialog, parentWindow, L"Wizard",
                                    &record.working, &options, callback, &record);
        result = dialog->DoModal() == IDOK;
        dialog.reset();
        if (failureText && !result)
            *failureText = controller.FailureText();
    }
    return result;
}

void SaveProgress(void* data) {
    auto* record = static_cast<SaveProgressRecord*>(data);
    if (record == nullptr || record->document == nullptr)
        return;
    DocData& documentData = record->document->Data();
    documentData.MoveFrom(record->working);
    MoveBack back{record->working, documentData};
    record->document->SetModifiedFlag(true);
    record->document->DoFileSave();
}
