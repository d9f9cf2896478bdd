#pragma once
// The Calculate step's glue between the document and the correction core: the target from the
// document's measurements and settings, and the fit for the document's model.

#include <optional>
#include <utility>

#include "correction/EqResult.h"
#include "correction/Fit.h"
#include "correction/TargetBuild.h"
#include "measure/Curve.h"
#include "wizard/VerifyStep.h"

struct DocData;
namespace CUsbController {
class BaseConfig;
}

// mode 1 detects the crossover, any other value uses the document's. The target carries the
// document's house curve. Leaves the result list as [average, target] and stores the fit limits
// and the crossover used. False only when the document holds no measurements (nothing changes
// then).
bool BuildTarget(DocData& doc, int mode, double& levelDb);

// Reads the averaged measurement and the target from the document's result list and writes the
// EQ result and the calculated curve, fitted with the document's fit method (the default when it
// records none), which it then records, within its correction limits. Raises
// tsl::wruntime_error for an unknown model, a result list without its two curves, or an upper
// correction limit that leaves no fit band. The fit's own error goes to error when given.
bool FitEqualizer(DocData& doc, double levelDb, FitOutcome* error = nullptr);

// FitEqualizer's fit on curves for the model (FitEqualizerCurves, which scales the target): a
// refined equaliser the model's block cannot hold falls back to the classic fit.
FitOutcome FitForModel(CCurve& averaged, CCurve& target, const CUsbController::BaseConfig& model,
                       double low, double high, double levelDb, FitMethod method,
                       double boostLimit);

// The highest frequency the equaliser is fitted up to (and its result compared to), Hz.
inline constexpr double kFitBandTopHz = 250.0;

// The band the equaliser is fitted over, Hz: from the minimum EQ frequency with a fixed
// high-pass order, otherwise from the lower fit limit, up to the upper fit limit but at most
// kFitBandTopHz and at most the document's upper correction limit.
std::pair<double, double> FitLimits(const DocData& doc);

// An equaliser as an upload writes it: the sections with their fixed-point coefficients, and
// the overall gain in its 0.5 dB steps, folded into the last band where the model's block holds
// it (otherwise applied as it stands: the subwoofer's level control supplies it).
struct WrittenEqualiser {
    SectionArrays sections;
    double gain = 1.0;     // linear
    double toOmega = 0.0;  // radians per sample per Hz
    double MagnitudeAt(double hz) const { return gain * CascadeMagnitude(sections, toOmega * hz); }
};
// None without a valid equaliser, a usable rate or a block the upload could write.
std::optional<WrittenEqualiser> WriteEqualiser(const EqResult& eq,
                                               const CUsbController::BaseConfig& model);

// The averaged measurement through the equaliser as an upload writes it: the sections with
// their fixed-point coefficients, and the overall gain in its 0.5 dB steps, folded into the last
// band where the model's block holds it (otherwise applied as it stands: the subwoofer's level
// control supplies it). None without a fitted equaliser, a known model, or a block the upload
// could write.
CurvePtr DeliveredResponse(const DocData& doc);

// The delivered response against the target at the averaged measurement's points in the fit
// band: the fit figures the programs report. None where DeliveredResponse has none or the
// document has no target.
std::optional<LevelDifference> DeliveredFitError(const DocData& doc);
