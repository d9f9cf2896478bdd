#include "wizard/Steps.h"

WizardStepTable StandardSteps(TargetDialogFactory makeTargetDialog, ChannelFactory makeChannel) {
    WizardStepTable table = WizardStepTable::Defaults();
    table.measure = MakeMeasureStep();
    table.calculate = MakeCalculateStep(std::move(makeTargetDialog));
    table.upload = MakeUploadStep(std::move(makeChannel));
    return table;
}
