#pragma once
// Verify: after an upload, measure again and keep the new average beside the document's curves
// (measurements, target and equaliser stay as they are), then compare it with the predicted
// (calculated) response and with the target over the fit band.

#include <cstdint>
#include <optional>
#include <string>

#include "document/DocData.h"
#include "wizard/MainCommands.h"
#include "wizard/MeasureStep.h"

// A quick check may use a single position.
inline constexpr int32_t kMinVerifyPositions = 1;

// Runs the Measure step on a scratch record and stores only its average (and the number of
// positions) in data; false, with data unchanged, when the measurement did not complete.
bool VerifyStep(IProcDialog* progress, DocData& data, uint32_t options,
                const MeasureEnvironment& environment);

// The step for the wizard's table; the environment's minimum position count becomes 1.
StepFunction MakeVerifyStep(MeasureEnvironment environment = {});

// Level difference of one curve against another raised by offsetDb, at the first one's points in
// a band.
struct LevelDifference {
    double rmsDb = 0.0;
    double maxDb = 0.0;  // largest absolute difference
    int points = 0;
};
LevelDifference CompareLevels(const CCurve& curve, const CCurve& reference, double low, double high,
                              double offsetDb = 0.0);

struct VerifyReport {
    double low = 0.0, high = 0.0;  // Hz
    int32_t positions = 0;
    // The equaliser's gain that the subwoofer does not apply (its block has no place for it; the
    // level control sets it): taken off both references, since the re-measurement lacks it.
    double gainLeftDb = 0.0;
    std::optional<LevelDifference> calculated;  // none without a calculated curve
    std::optional<LevelDifference> target;      // none without a target
};

// The fit band the equaliser was fitted over (FitLimits), or 25 Hz to kFitBandTopHz when the
// document has none.
std::pair<double, double> ComparisonBand(const DocData& data);

// None without a re-measured curve; the band defaults to ComparisonBand.
std::optional<VerifyReport> CompareVerified(const DocData& data,
                                            std::optional<std::pair<double, double>> band = {});

// The report as the window shows it.
std::wstring VerifyReportText(const VerifyReport& report);

// The Tools menu's Verify: runs the Verify wizard over the open document, redraws and shows the
// report. `document` is the open document's data (read after the wizard).
bool VerifyCommand(IMainView& view, const DocData& document);
