#include "correction/TargetBuild.h"

#include <algorithm>
#include <cmath>

namespace {

// Zero, negative or not-a-number levels count as -800 dB.
double LevelDb(double value) {
    return 20.0 * std::log10(value > 0.0 ? value : kMinMagnitude);
}

}  // namespace

bool HasUsableLevels(const TargetCurveList& measurements) {
    bool heard = false;
    for (const CurvePtr& curve : measurements) {
        if (!curve || curve->Count() < 2)
            return false;
        for (int i = 0; i < curve->Count(); ++i) {
            const double level = LevelDbAt(*curve, i);
            if (!std::isfinite(curve->X()[i]) || !std::isfinite(level) ||
                !std::isfinite(PhaseAt(*curve, i)))
                return false;
            heard = heard || level > kZeroLevelDb;
        }
    }
    return heard;
}

std::optional<BuiltTarget> BuildTargetCurves(const TargetCurveList& measurements,
                                             const TargetRequest& request) {
    const CurvePtr average = PowerAverage(measurements);
    if (!average)
        return std::nullopt;

    SubCrossoverFreqs cursor;
    CSubwooferTarget target(request.minEqFreq, request.hpFreq, request.hpOrder);
    TargetCurveList detectOn{average};
    // A document that never had a crossover (0 after a reset) would give a 0 Hz low-pass and an
    // all-zero target: detect one instead.
    if (request.detectCrossover || request.crossover <= 0)
        target.DetectCrossover(detectOn, cursor);
    else
        target.SetCrossover(request.crossover);
    if (target.highPassOrder == SLOPE_AUTO)
        target.DetectHighPass(detectOn);

    auto curve = std::make_shared<CTargetCurve>(*average);
    target.Evaluate(*curve);
    ApplyHouseCurve(*curve, request.house, target.crossoverHz);
    curve->minFit = target.MinFitFrequency();
    curve->maxFit = target.MaxFitFrequency();

    const double lo = curve->minFit;
    const double hi = curve->maxFit * 2.0 / 3.0;
    // The detections leave the average in dB; it returns to magnitude and phase here, where the
    // measured level is read, and the target's level reads it in dB again. The fit's results
    // depend bit for bit on these round trips.
    ToMagPhase(*average);
    const double measured = LevelDb(BandRms(*average, lo, hi));
    const double targetLevel = LevelDb(CurveLevelGain(*curve, *average, lo, hi));

    BuiltTarget built;
    built.average = average;
    built.target = curve;
    built.levelDb = std::min(targetLevel, measured);
    built.crossover = target.crossover;
    built.fitLower = curve->minFit;
    built.fitUpper = curve->maxFit;
    return built;
}
