#pragma once
// The Calculate step's glue between the document and the correction core: the target from the
// document's measurements and settings, and the fit for the document's model.

#include "correction/Fit.h"
#include "correction/TargetBuild.h"

struct DocData;

// mode 1 detects the crossover, any other value uses the document's. Leaves the result list as
// [average, target] and stores the fit limits and the crossover used. False only when the
// document holds no measurements (nothing changes then).
bool BuildTarget(DocData& doc, int mode, double& levelDb);

// Reads the averaged measurement and the target from the document's result list and writes the
// EQ result and the calculated curve, fitted with the document's fit method (the default when it
// records none), which it then records. Raises tsl::wruntime_error for an unknown model or a
// result list without its two curves. The fit's own error goes to error when given.
bool FitEqualizer(DocData& doc, double levelDb, FitOutcome* error = nullptr);
