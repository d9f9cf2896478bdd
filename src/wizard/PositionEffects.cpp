#include "wizard/PositionEffects.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <optional>

#include "measure/Curve.h"
#include "measure/ParallelLoops.h"
#include "sublink/BaseConfig.h"
#include "wizard/CalculateFit.h"

namespace {

// A position's level minus the target's at the position's points in the band, dB.
struct BandDeviation {
    std::vector<double> hz, db;
};

BandDeviation DeviationFromTarget(const CCurve& position, const CCurve& targetDb, double low,
                                  double high) {
    BandDeviation d;
    for (int i = 0; i < position.Count(); ++i) {
        const double f = position.X()[i];
        if (f < low || f > high)
            continue;
        const double diff = LevelDbAt(position, i) - ValueAt(targetDb, f).first;
        if (!std::isfinite(diff))
            continue;
        d.hz.push_back(f);
        d.db.push_back(diff);
    }
    return d;
}

// The deviation through an equaliser.
std::vector<double> Through(const BandDeviation& before, const WrittenEqualiser& eq) {
    std::vector<double> db(before.db.size());
    for (size_t i = 0; i < db.size(); ++i)
        db[i] = before.db[i] + 20.0 * std::log10(eq.MagnitudeAt(before.hz[i]));
    return db;
}

// The deviation with its mean over the band taken off: the level is the level control's and
// the same at every position, so a position is compared with the target's shape.
std::vector<double> LevelAligned(std::vector<double> db) {
    double sum = 0.0;
    size_t counted = 0;
    for (double x : db)
        if (std::isfinite(x)) {
            sum += x;
            ++counted;
        }
    if (counted > 0)
        for (double& x : db)
            x -= sum / static_cast<double>(counted);
    return db;
}

TargetDeviation Summary(const std::vector<double>& db) {
    TargetDeviation d;
    double sum = 0.0;
    size_t counted = 0;
    for (double x : db) {
        if (!std::isfinite(x))
            continue;
        sum += x * x;
        d.maxDb = std::max(d.maxDb, std::abs(x));
        ++counted;
    }
    if (counted > 0)
        d.rmsDb = std::sqrt(sum / static_cast<double>(counted));
    return d;
}

// Where |deviation| grows most from before; the first such point on ties.
double WorstGrowthHz(const std::vector<double>& hz, const std::vector<double>& before,
                     const std::vector<double>& db) {
    double worst = -std::numeric_limits<double>::infinity(), at = 0.0;
    for (size_t i = 0; i < db.size(); ++i) {
        const double growth = std::abs(db[i]) - std::abs(before[i]);
        if (std::isfinite(growth) && growth > worst) {
            worst = growth;
            at = hz[i];
        }
    }
    return at;
}

// The equaliser Calculate fits to every position but `left`, as the upload would write it.
std::optional<WrittenEqualiser> HeldOutEqualiser(const DocData& doc, size_t left,
                                                 const CUsbController::BaseConfig& model,
                                                 double low, double high) {
    CurveList others;
    for (size_t p = 0; p < doc.measurements.size(); ++p)
        if (p != left)
            others.push_back(doc.measurements[p]);
    const CurvePtr average = PowerAverage(others);
    ToMagPhase(*average);
    // The document's target stands at the fit's level already: aimed at 0 dB above it.
    CCurve target = *doc.results[1];
    const FitOutcome fit =
        FitForModel(*average, target, model, low, high, 0.0,
                    doc.fitMethod.value_or(kDefaultFitMethod), BoostLimit(doc.house));
    return WriteEqualiser(fit.eq, model);
}

}  // namespace

std::vector<PositionEffect> EvaluatePositionEffects(const DocData& doc) {
    const CUsbController::BaseConfig* model = CUsbController::FindModelById(doc.modelId);
    if (model == nullptr || doc.results.size() < 2 || !doc.results[1] || doc.measurements.empty())
        return {};
    for (const CurvePtr& m : doc.measurements)
        if (!m)
            return {};
    const std::optional<WrittenEqualiser> eq = WriteEqualiser(doc.eq, *model);
    if (!eq)
        return {};
    const std::pair<double, double> band = FitLimits(doc);
    const double low = band.first, high = band.second;
    CCurve targetDb = *doc.results[1];
    ToDbPhase(targetDb);

    const int count = static_cast<int>(doc.measurements.size());
    std::vector<PositionEffect> effects(static_cast<size_t>(count));
    std::vector<std::exception_ptr> failures(static_cast<size_t>(count));
    // One fit per iteration; each writes its own entry only, so the split does not matter.
#pragma omp parallel for schedule(static) if (count >= parallel::kMinFits)
    for (int p = 0; p < count; ++p) {
        const size_t at = static_cast<size_t>(p);
        try {
            const BandDeviation measured =
                DeviationFromTarget(*doc.measurements[at], targetDb, low, high);
            const std::vector<double> before = LevelAligned(measured.db);
            const std::vector<double> after = LevelAligned(Through(measured, *eq));
            PositionEffect& e = effects[at];
            e.before = Summary(before);
            e.after = Summary(after);
            std::vector<double> heldOut;
            if (count > 1) {
                if (const auto other = HeldOutEqualiser(doc, at, *model, low, high)) {
                    heldOut = LevelAligned(Through(measured, *other));
                    e.heldOut = Summary(heldOut);
                }
            }
            if (e.after.rmsDb > e.before.rmsDb)
                e.worseAtHz = WorstGrowthHz(measured.hz, before, after);
            else if (e.heldOut && e.heldOut->rmsDb > e.before.rmsDb + kHeldOutWorseDb)
                e.worseAtHz = WorstGrowthHz(measured.hz, before, heldOut);
        } catch (...) {
            failures[at] = std::current_exception();
        }
    }
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
    return effects;
}
