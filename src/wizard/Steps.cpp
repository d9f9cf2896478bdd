#include "wizard/Steps.h"

#include "threading/Errors.h"
#include "wizard/VerifyStep.h"

StepFunction DocumentStep(const std::wstring& name, DocumentStepBody body) {
    return [name, body = std::move(body)](IProcDialog* progress, void* arg1, void* arg2) -> bool {
        auto* data = static_cast<DocData*>(arg1);
        const auto* options = static_cast<const uint32_t*>(arg2);
        if (data == nullptr)
            throw tsl::wruntime_error(L"The " + name + L" step has no document.");
        return body(progress, *data, options ? *options : 0);
    };
}

WizardStepTable StandardSteps(const MeasureEnvironment& environment,
                              TargetDialogFactory makeTargetDialog, ChannelFactory makeChannel) {
    WizardStepTable table = WizardStepTable::Defaults();
    table.measure = MakeMeasureStep(environment);
    table.verify = MakeVerifyStep(environment);
    table.calculate = MakeCalculateStep(std::move(makeTargetDialog));
    table.upload = MakeUploadStep(
        makeChannel ? std::move(makeChannel) : ChannelsOn(environment.usb), environment.history);
    return table;
}
