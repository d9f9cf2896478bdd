// The fit as the Calculate step runs it: from the averaged measurement and the target to the EQ
// result and the calculated curve.

#include <algorithm>
#include <cmath>
#include <memory>

#include "correction/Fit.h"
#include "measure/Curve.h"
#include "threading/Errors.h"

namespace {

// Larger cascades than this are not a real equaliser; the limit keeps a corrupt table harmless.
constexpr int kMaxSections = 64;

// The fit's own error: model against desired magnitude over the fit points, in dB.
void MeasureFitError(const EqFitState& state, FitOutcome& outcome) {
    double sum = 0.0;
    double worst = 0.0;
    size_t counted = 0;
    for (const FitPoint& p : state.points) {
        const double model = state.gain * p.q;
        if (!(p.r > 0.0) || !(model > 0.0))
            continue;
        const double db = 20.0 * std::log10(model / p.r);
        sum += db * db;
        worst = std::max(worst, std::abs(db));
        ++counted;
    }
    outcome.rmsDb = counted > 0 ? std::sqrt(sum / static_cast<double>(counted)) : 0.0;
    outcome.maxDb = worst;
}

}  // namespace

FitOutcome FitEqualizerCurves(CCurve& averaged, CCurve& target, int fsEq, int sections, double low,
                              double high, double levelDb, FitMethod method, double boostLimit) {
    if (sections < 1 || sections > kMaxSections || fsEq < 1)
        throw tsl::wruntime_error(L"Critical error, the subwoofer model has no usable equaliser.");
    if (!std::isfinite(levelDb))
        throw tsl::wruntime_error(L"Critical error, the target level is not a number.");

    EqFitState state(fsEq, sections, &target);
    state.boostLimit = boostLimit;
    double error = FitSections(state, averaged, low, high, levelDb);
    if (method == FitMethod::Refined)
        error = RefineSections(state);
    FitOutcome outcome;
    outcome.error = error;
    MeasureFitError(state, outcome);
    FinalizeCascade(state);

    outcome.calculated = std::make_shared<CCurve>();
    ApplyEqualizer(state, *outcome.calculated, averaged);

    Scale(target, std::pow(10.0, levelDb / 20.0), 0.0);

    outcome.eq.valid = 1;
    outcome.eq.gain = state.gainSteps * 0.5;
    for (int i = 0; i < sections; ++i)
        outcome.eq.bands.push_back(GetBand(state, i));
    return outcome;
}
