#include "wizard/Steps.h"

#include "wizard/VerifyStep.h"

WizardStepTable StandardSteps(const MeasureEnvironment& environment,
                              TargetDialogFactory makeTargetDialog, ChannelFactory makeChannel) {
    WizardStepTable table = WizardStepTable::Defaults();
    table.measure = MakeMeasureStep(environment);
    table.verify = MakeVerifyStep(environment);
    table.calculate = MakeCalculateStep(std::move(makeTargetDialog));
    table.upload =
        MakeUploadStep(makeChannel ? std::move(makeChannel) : ChannelsOn(environment.usb));
    return table;
}
