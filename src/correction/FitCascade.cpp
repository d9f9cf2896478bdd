// Rearranges the fitted sections for fixed-point execution: pairs poles with the zeros that give
// the flattest sections, orders the sections so the running response peaks as little as
// possible, scales every stage to peak at unity and quantises the leftover gain.

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "correction/Fit.h"
#include "measure/Biquad.h"
#include "measure/Curve.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kGridPoints = 256;
constexpr int kMaxPasses = 100;

struct Arrangement {
    std::vector<Biquad> sections;
    double gain = 1.0;
};

// 0, then 15 Hz to 20000 Hz in equal ratios, then half the rate.
std::vector<FitPoint> MakeGrid(int fsEq) {
    std::vector<FitPoint> grid;
    grid.reserve(kGridPoints);
    grid.push_back(MakeFitPoint(0.0, 0.0));
    const double start = 2.0 * kPi * 15.0 / fsEq;
    for (int k = 0; k <= 253; ++k)
        grid.push_back(MakeFitPoint(start * std::pow(20000.0 / 15.0, k / 253.0), 0.0));
    grid.push_back(MakeFitPoint(kPi, 0.0));
    return grid;
}

double Magnitude(const Biquad& s, const FitPoint& p) {
    const double nr = s.b0 + s.b1 * p.cos1 + s.b2 * p.cos2;
    const double ni = s.b1 * p.nsin1 + s.b2 * p.nsin2;
    const double den = PairPower(p, s.a1, s.a2);
    const double num = nr * nr + ni * ni;
    return den == 0.0 ? std::sqrt(num * kZeroDenominatorGain) : std::sqrt(num / den);
}

double LargestCoefficient(const Biquad& s) {
    return std::max({std::fabs(s.b0), std::fabs(s.b1), std::fabs(s.b2)});
}

// Radius of the pole pair (the larger root's modulus when the roots are real) and its angle.
void PoleGeometry(double a1, double a2, double& radius, double& angle) {
    const double disc = a1 * a1 - 4.0 * a2;
    if (disc < 0.0) {
        radius = std::sqrt(a2);
        angle = std::acos(std::clamp(-a1 / (2.0 * radius), -1.0, 1.0));
        return;
    }
    const double root = std::sqrt(disc);
    const double z1 = (-a1 + root) / 2.0;
    const double z2 = (-a1 - root) / 2.0;
    const double larger = std::fabs(z1) >= std::fabs(z2) ? z1 : z2;
    radius = std::fabs(larger);
    angle = larger < 0.0 ? kPi : 0.0;
}

// Sorts the pole pairs by radius; the zeros stay where they are.
void SortPoles(std::vector<Biquad>& sections, bool decreasing) {
    std::vector<std::pair<double, double>> poles;
    for (const Biquad& s : sections)
        poles.emplace_back(s.a1, s.a2);
    auto radius = [](const std::pair<double, double>& p) {
        double r = 0.0;
        double a = 0.0;
        PoleGeometry(p.first, p.second, r, a);
        return r;
    };
    std::stable_sort(poles.begin(), poles.end(), [&](const auto& x, const auto& y) {
        return decreasing ? radius(x) > radius(y) : radius(x) < radius(y);
    });
    for (size_t i = 0; i < sections.size(); ++i) {
        sections[i].a1 = poles[i].first;
        sections[i].a2 = poles[i].second;
    }
}

// How far a section's response falls below its peak over the grid (0 for a flat section).
double Unflatness(const Biquad& s, const std::vector<FitPoint>& grid) {
    double radius = 0.0;
    double angle = 0.0;
    PoleGeometry(s.a1, s.a2, radius, angle);
    double hmax = Magnitude(s, MakeFitPoint(angle, 0.0));
    std::vector<double> mags(grid.size());
    for (size_t i = 0; i < grid.size(); ++i) {
        mags[i] = Magnitude(s, grid[i]);
        hmax = std::max(hmax, mags[i]);
    }
    if (!(hmax > 0.0))
        return static_cast<double>(grid.size());
    double sum = 0.0;
    for (double m : mags)
        sum += 1.0 - m / hmax;
    return sum;
}

// Each pole pair in turn takes the unused zero pair that makes its section flattest.
double PairSections(std::vector<Biquad>& sections, const std::vector<FitPoint>& grid) {
    const size_t count = sections.size();
    std::vector<Biquad> zeros = sections;
    std::vector<bool> used(count, false);
    double cost = 0.0;
    for (size_t i = 0; i < count; ++i) {
        double least = std::numeric_limits<double>::infinity();
        size_t pick = count;
        for (size_t z = 0; z < count; ++z) {
            if (used[z])
                continue;
            Biquad trial = sections[i];
            trial.b0 = zeros[z].b0;
            trial.b1 = zeros[z].b1;
            trial.b2 = zeros[z].b2;
            const double u = Unflatness(trial, grid);
            if (pick == count || u < least) {
                least = u;
                pick = z;
            }
        }
        used[pick] = true;
        sections[i].b0 = zeros[pick].b0;
        sections[i].b1 = zeros[pick].b1;
        sections[i].b2 = zeros[pick].b2;
        cost += least;
    }
    return cost;
}

void ScaleNumerators(Arrangement& arr) {
    for (Biquad& s : arr.sections) {
        const double half = LargestCoefficient(s) / 2.0;
        if (!(half > 0.0))
            continue;
        s.b0 /= half;
        s.b1 /= half;
        s.b2 /= half;
        arr.gain *= half;
    }
}

double Peak(const std::vector<double>& response) {
    return *std::max_element(response.begin(), response.end());
}

// Each position in turn takes the section that keeps the running response's peak lowest.
void OrderSections(std::vector<Biquad>& sections, const std::vector<FitPoint>& grid) {
    std::vector<Biquad> remaining = sections;
    std::vector<double> running(grid.size(), 1.0);
    std::vector<double> trial(grid.size());
    for (size_t pos = 0; pos < sections.size(); ++pos) {
        double least = std::numeric_limits<double>::infinity();
        size_t pick = remaining.size();
        for (size_t c = 0; c < remaining.size(); ++c) {
            for (size_t i = 0; i < grid.size(); ++i)
                trial[i] = running[i] * Magnitude(remaining[c], grid[i]);
            const double peak = std::max(Peak(trial), LargestCoefficient(remaining[c]) / 2.0);
            if (pick == remaining.size() || peak < least) {
                least = peak;
                pick = c;
            }
        }
        sections[pos] = remaining[pick];
        for (size_t i = 0; i < grid.size(); ++i)
            running[i] *= Magnitude(sections[pos], grid[i]);
        remaining.erase(remaining.begin() + static_cast<std::ptrdiff_t>(pick));
    }
}

// Walks the cascade with the overall gain moved into it, scaling every stage to peak at unity;
// what is left after the last stage becomes the overall gain.
void ScalePeaks(Arrangement& arr, const std::vector<FitPoint>& grid) {
    std::vector<double> running(grid.size(), 1.0);
    double factor = arr.gain;
    for (Biquad& s : arr.sections) {
        s.b0 *= factor;
        s.b1 *= factor;
        s.b2 *= factor;
        for (size_t i = 0; i < grid.size(); ++i)
            running[i] *= Magnitude(s, grid[i]);
        double w = std::max(Peak(running), LargestCoefficient(s) / 2.0);
        if (!(w > 0.0) || !std::isfinite(w))
            w = 1.0;
        s.b0 /= w;
        s.b1 /= w;
        s.b2 /= w;
        for (double& r : running)
            r /= w;
        factor = w;
    }
    arr.gain = factor;
}

// Passes of pairing, scaling and ordering while the pairing cost falls; best keeps the
// arrangement of the lowest cost.
void RunPasses(Arrangement current, const std::vector<FitPoint>& grid, Arrangement& best,
               double& bestCost) {
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        const double cost = PairSections(current.sections, grid);
        ScaleNumerators(current);
        OrderSections(current.sections, grid);
        ScalePeaks(current, grid);
        if (!(cost < bestCost))
            break;
        bestCost = cost;
        best = current;
    }
}

}  // namespace

void FinalizeCascade(EqFitState& state) {
    const int count = state.sections;
    Arrangement start;
    start.gain = state.gain;
    for (int i = 0; i < count; ++i) {
        const double* p = state.best.data() + kSectionParams * i;
        Biquad s;
        s.b1 = p[0];
        s.b2 = p[1];
        s.a1 = p[2];
        s.a2 = p[3];
        StabilizePair(s.b1, s.b2);
        start.sections.push_back(s);
    }
    SortPoles(start.sections, false);

    const std::vector<FitPoint> grid = MakeGrid(state.fsEq);
    Arrangement best = start;
    double bestCost = std::numeric_limits<double>::infinity();
    RunPasses(start, grid, best, bestCost);
    if (best.gain > 2.0) {
        Arrangement again = best;
        SortPoles(again.sections, true);
        RunPasses(again, grid, best, bestCost);
    }

    // The overall gain in 0.5 dB steps; the remainder (at most unity) goes into the first stage.
    double p = 20.0 * std::log10(best.gain * state.extraGain);
    if (!std::isfinite(p))
        p = p > 0.0 ? 1000.0 : -1000.0;
    p = std::clamp(p, -1000.0, 1000.0);
    int32_t steps = static_cast<int32_t>(std::trunc(2.0 * p + 0.5));
    while (p - steps / 2.0 > 0.0)
        ++steps;
    state.gainSteps = steps;
    const double remainder = std::pow(10.0, (p - steps / 2.0) / 20.0);
    if (remainder < 1.0 && !best.sections.empty()) {
        best.sections[0].b0 *= remainder;
        best.sections[0].b1 *= remainder;
        best.sections[0].b2 *= remainder;
    }

    state.cascade = SectionArrays::Identity(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const Biquad& s = best.sections[i];
        state.cascade.b0[i] = s.b0;
        state.cascade.b1[i] = s.b1;
        state.cascade.b2[i] = s.b2;
        state.cascade.a0[i] = 1.0;
        state.cascade.a1[i] = s.a1;
        state.cascade.a2[i] = s.a2;
    }
}

EqBand GetBand(const EqFitState& state, int index) {
    if (index < 0)
        return kIdentityBand;
    return GetBand(state.cascade, static_cast<size_t>(index));
}

void ApplyEqualizer(const EqFitState& state, CCurve& out, const CCurve& averaged) {
    CopyInto(averaged, out);
    ToMagPhase(out);
    const double gain = std::pow(10.0, state.gainSteps * 0.5 / 20.0);
    const SectionArrays& c = state.cascade;
    double* m = out.First();
    const double* x = out.X();
    const int count = out.Count();
    for (int i = 0; i < count; ++i) {
        const FitPoint p = MakeFitPoint(2.0 * kPi * x[i] / state.fsEq, 0.0);
        double h = gain;
        for (size_t k = 0; k < c.size(); ++k) {
            const Biquad s{c.b0[k], c.b1[k], c.b2[k], c.a1[k], c.a2[k]};
            h *= Magnitude(s, p);
        }
        m[i] *= h;
    }
}
