#pragma once
// The target part of the Calculate step: the averaged measurement, the target curve, the fit
// band and the level the fit places the target at.

#include "correction/Target.h"

struct DocData;

// The power (RMS) average of the curves on the first curve's axis; null for an empty list.
CurvePtr PowerAverage(const TargetCurveList& measurements);

// mode 1 detects the crossover, any other value uses the document's. Leaves the result list as
// [average, target] and stores the fit limits and the crossover used. False only when the
// document holds no measurements (nothing changes then).
bool BuildTarget(DocData& doc, int mode, double& levelDb);
