// The section fit: builds the fit points from the correction target / measurement, grows the
// cascade one section at a time and refines it until the error stops falling.

#include <algorithm>
#include <cmath>
#include <numbers>

#include "correction/Fit.h"
#include "measure/Curve.h"
#include "threading/Errors.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kSqrt2 = std::numbers::sqrt2;
// Smoothed measurements have a few hundred points below half the equaliser rate, an unsmoothed
// transform a few thousand; the solver's work and memory grow with the count, so a damaged
// document must not ask for more.
constexpr int kMaxFitPoints = 8192;

// Fades the correction to unity below the fit band and to a level no higher than unity above
// it, so the sections do not chase the response outside the band.
void ShapeEdges(CCurve& k, double lo, double hi) {
    const int count = k.Count();
    const double* x = k.X();
    double* m = k.First();
    double* ph = k.Second();
    for (int i = 0; i < count; ++i) {
        const double f = x[i];
        if (f < lo / 2.0) {
            m[i] = 1.0;
            ph[i] = 0.0;
        } else if (f < lo) {
            const double t = std::cos(kPi * (1.0 - f / lo));
            m[i] = (1.0 - t) + t * m[i];
            ph[i] = 0.0;
        }
    }
    const double v = std::min(1.0, m[FloorIndex(k.axis, 2.0 * hi)]);
    for (int i = 0; i < count; ++i) {
        const double f = x[i];
        if (f < lo || f < hi)
            continue;
        if (f < 2.0 * hi) {
            const double t = std::cos(kPi * (f / hi - 1.0) / 2.0);
            m[i] = (1.0 - t) * v + t * m[i];
        } else {
            m[i] = v;
        }
        ph[i] = 0.0;
    }
}

// Fit points from the shaped correction up to half the equaliser rate; extra points below and
// above hold the response down where it falls towards an edge.
void BuildFitPoints(EqFitState& state, CCurve& k) {
    const double nyquist = state.fsEq / 2.0;
    int last = -1;
    for (int i = 0; i < k.Count(); ++i)
        if (k.X()[i] <= nyquist)
            last = i;
    if (last < 1)
        throw tsl::wruntime_error(
            L"Critical error, the measurement has too few points below half the equaliser rate.");
    if (last + 1 > kMaxFitPoints)
        throw tsl::wruntime_error(
            L"Critical error, the measurement has too many points to be equalised.");
    const double* m0 = k.First();
    const bool lowFlag = m0[1] < m0[0];
    const bool highFlag = m0[last - 1] < m0[last];
    const int n = last + 1 + (lowFlag ? 1 : 0) + (highFlag ? 1 : 0);

    LimitBoost(k, state.boostLimit);
    const double* x = k.X();
    const double* m = k.First();
    state.points.assign(static_cast<size_t>(n), FitPoint{});
    const int offset = lowFlag ? 1 : 0;
    for (int j = 0; j <= last; ++j) {
        if (!std::isfinite(m[j]) || m[j] < 0.0)
            throw tsl::wruntime_error(
                L"Critical error, the measured response holds invalid "
                L"values and cannot be equalised.");
        state.points[j + offset] = MakeFitPoint(2.0 * kPi * x[j] / state.fsEq, m[j]);
    }
    std::vector<FitPoint>& p = state.points;
    if (lowFlag) {
        p[1].r = (p[1].r + p[2].r) / 2.0;
        p[0] = MakeFitPoint(p[1].omega / 2.0, p[1].r / 2.0);
    }
    if (highFlag) {
        p[n - 2].r = (p[n - 3].r + p[n - 2].r) / 2.0;
        p[n - 1] = MakeFitPoint(std::sqrt(p[n - 2].omega * kPi), p[n - 2].r / 2.0);
    }
}

void StabilizeSections(int count, double* params, bool* changed = nullptr) {
    for (int i = 0; i < count; ++i) {
        double* s = params + kSectionParams * i;
        const bool zeros = StabilizePair(s[0], s[1]);
        const bool poles = StabilizePair(s[2], s[3]);
        if (changed != nullptr && (zeros || poles))
            *changed = true;
    }
}

}  // namespace

double FitSections(EqFitState& state, CCurve& averaged, double low, double high, double levelDb) {
    const int sections = state.sections;
    const int paramCount = state.ParamCount();
    const int fs = state.fsEq;
    double* params = state.params.data();

    if (state.target == nullptr)
        throw tsl::wruntime_error(L"Critical error, expected 2 curves.");
    CurvePtr k = Clone(*state.target);
    Scale(*k, std::pow(10.0, levelDb / 20.0), 0.0);
    // The average is kept in magnitude and phase, the form the document records after a fit.
    ToMagPhase(averaged);
    Divide(*k, averaged);
    ToMagPhase(*k);
    if (k->Count() < 2)
        throw tsl::wruntime_error(
            L"Critical error, the measurement has too few points below half the equaliser rate.");
    const double high2 = 2.0 * high;
    int iLow = FloorIndex(k->axis, low);
    int iHigh = FloorIndex(k->axis, std::min(high2, fs / 2.0));

    const double lo = low * kSqrt2;
    const double hi = std::min(high2 / kSqrt2, static_cast<double>(std::min(fs / 4, 12000)));
    ShapeEdges(*k, lo, hi);
    BuildFitPoints(state, *k);
    const int n = static_cast<int>(state.points.size());
    iLow = std::clamp(iLow, 0, n - 1);
    iHigh = std::clamp(iHigh, iLow, n - 1);
    const double omegaLow = state.points[iLow].omega / kSqrt2;
    const double omegaHigh = std::min(kSqrt2 * state.points[iHigh].omega, 2.0 * kPi * 20000.0 / fs);
    state.lowIndex = iLow;
    state.highIndex = iHigh;
    state.omegaLow = omegaLow;
    state.omegaHigh = omegaHigh;

    // Growth: one section at a time where the error is largest.
    double error = 1e300;
    for (int s = 1; s <= sections; ++s) {
        const double before = FitError(state, params, kSectionParams * (s - 1));
        if (before < 0.001) {
            std::fill(params + kSectionParams * (s - 1), params + paramCount, 0.0);
            error = before;
            break;
        }
        AddSection(state, s, params, iLow, iHigh);
        LevenbergMarquardt(state, kSectionParams * s, params, error, 40, 1e-6);
        StabilizeSections(s, params);
        LimitSectionQ(s, params, fs, 16.0);
        error = FitError(state, params, kSectionParams * s);
    }
    state.best = state.params;
    double bestError = error;

    // Refinement of all sections; sections that wander out of the band are replaced.
    int total = 0;
    for (;;) {
        const double prev = error;
        bool changed = false;
        int rc = LevenbergMarquardt(state, paramCount, params, error, 100, 1e-10);
        if (rc == kSingularSystem) {
            rc = 100;
            changed = true;
        }
        total += rc;
        StabilizeSections(sections, params, &changed);
        if (LimitSectionQ(sections, params, fs, 16.0))
            changed = true;
        error = FitError(state, params, paramCount);
        const int next = PruneSections(sections, params, fs, omegaLow, omegaHigh) + 1;
        if (next > sections) {
            if (error < bestError) {
                state.best = state.params;
                bestError = error;
            }
            const double gain = (prev - error) / error;
            if ((gain <= 1e-5 || error < 1e-5) && !changed)
                break;
            if (!(total < 2000 && gain > 1e-5))
                break;
            continue;
        }
        for (int j = next; j <= sections; ++j) {
            const int kept = kSectionParams * (j - 1);
            LevenbergMarquardt(state, kept, params, error, 40, 1e-6);
            StabilizeSections(j - 1, params);
            LimitSectionQ(j - 1, params, fs, 16.0);
            FitError(state, params, kept);
            AddSection(state, j, params, iLow, iHigh);
            LimitSectionQ(j, params, fs, 16.0);
            error = FitError(state, params, kSectionParams * j);
            if (j == sections && error < bestError) {
                state.best = state.params;
                bestError = error;
            }
        }
        if (!(total < 2000 && (prev - error) / error > 1e-5))
            break;
    }
    return FitError(state, state.best.data(), paramCount);
}
