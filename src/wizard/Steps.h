#pragma once
// The full step table of the program's wizards, filled in one place.

#include "wizard/CalculateStep.h"
#include "wizard/MeasureStep.h"
#include "wizard/RunWizard.h"
#include "wizard/UploadStep.h"

// Measure in the environment, Calculate with the given target dialog and Upload/Erase on
// channels of the environment's USB (or from makeChannel when given).
WizardStepTable StandardSteps(const MeasureEnvironment& environment,
                              TargetDialogFactory makeTargetDialog,
                              ChannelFactory makeChannel = {});
