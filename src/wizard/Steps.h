#pragma once
// The full step table of the program's wizards, filled in one place.

#include "wizard/CalculateStep.h"
#include "wizard/MeasureStep.h"
#include "wizard/RunWizard.h"
#include "wizard/UploadStep.h"

// Measure with the default environment, Calculate with the given target dialog and Upload/Erase
// on channels from makeChannel.
WizardStepTable StandardSteps(TargetDialogFactory makeTargetDialog,
                              ChannelFactory makeChannel = DefaultChannelFactory());
