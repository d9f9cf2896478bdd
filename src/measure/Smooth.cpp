// Fractional-octave smoothing onto a logarithmic frequency grid.
//
// fraction F sets the width 1/F octaves: F >= 2 uses a rounded-exponential weighting, 0 < F < 2 a
// band-filter weighting, F < 0 the rounded-exponential weighting scaled to the ear's critical
// bandwidth. pointsPerOctave P > 0 gives P points per octave from max(lowest, second input
// frequency) to min(highest, last input frequency), P = 0 keeps the input frequencies and P < 0
// gives the 31 third-octave centres from 20 Hz to 20 kHz. normalise 1 divides each window's
// weighted power by the sum of its weights; 0 keeps the weighted sum.

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <new>
#include <numbers>
#include <vector>

#include "measure/Curve.h"
#include "measure/ParallelLoops.h"
#include "measure/RatioIndex.h"

namespace {

using smooth_detail::RatioIndex;

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr int kTableSize = 1001;
// The table's ratios step evenly in log from the window's lower end: one step is 1/999 of the
// span, so the last entry lies one step beyond its upper end.
constexpr double kTableSteps = 999.0;
// The rounded-exponential window (1 + u) e^-u: its scale g is this factor times a quarter of
// the band's relative width, and its table reaches u = kRoexSpan either side, where the weight
// has fallen to 1 %.
constexpr double kRoexWidthFactor = 1.07;
constexpr double kRoexSpan = 6.6383;
// The ear's equivalent rectangular bandwidth at f Hz: kErbAtZeroHz * (kErbPerKhz * f / 1000 + 1).
constexpr double kErbAtZeroHz = 24.7;
constexpr double kErbPerKhz = 4.37;
// Log grids larger than this (absurd points-per-octave settings) would take minutes to fill and
// are treated as failed allocations.
constexpr double kMaxOutput = 1 << 16;

constexpr std::array<double, 31> kThirdOctaves = {
    20,  25,   31.5, 40,   50,   63,   80,   100,  125,  160,  200,  250,   315,   400,   500,  630,
    800, 1000, 1250, 1600, 2000, 2500, 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000};

struct Weighting {
    std::vector<double> ratio;   // R[k]
    std::vector<double> weight;  // W[k]
    bool ascending = false;      // R strictly ascending
    bool bandwidthScaled = false;
    double bandwidthScale = 1.0;  // B
};

// std::round (halves away from zero) without the library call for the small values here.
inline double RoundHalfAway(double v) {
    if (!(std::fabs(v) < 0x1p52)) {
        return std::round(v);
    }
    const auto whole = static_cast<long long>(v);
    const double fraction = v - static_cast<double>(whole);
    return static_cast<double>(whole + (fraction >= 0.5 ? 1 : fraction <= -0.5 ? -1 : 0));
}

inline double NearTo(double phase, double reference) {
    const double d = phase - reference;
    if (d >= -std::numbers::pi && d <= std::numbers::pi) {
        return phase;  // the usual case, without a division
    }
    const double turns = RoundHalfAway(d / kTwoPi);
    return std::isfinite(turns) ? phase - kTwoPi * turns : phase;
}

// Band filter of width x octaves at frequency ratio r; 1 at r = 1.
double BandFilter(double r, double x) {
    const double q = std::exp2(x / 2) - std::exp2(-x / 2);
    const double r2 = r * r, r3 = r2 * r, r4 = r2 * r2, r5 = r4 * r, r6 = r3 * r3;
    const double g = (r + r5) * 2 * q - r3 * q * (q * q + 4);
    const double d = (r4 - r2) * (2 * q * q + 3) + 1 - r6;
    return r3 * q * q * q / std::sqrt(g * g + d * d);
}

// False when the width gives no usable table.
bool BuildWeighting(double fraction, Weighting& w) {
    double x = 1.0 / fraction;
    w.ratio.assign(kTableSize, 0.0);
    w.weight.assign(kTableSize, 0.0);
    if (x < 0) {
        x = -x;
        w.bandwidthScaled = true;
        w.bandwidthScale = kRoexWidthFactor * (std::exp2(x / 2) - std::exp2(-x / 2));
    }
    if (!w.bandwidthScaled && fraction < 2) {
        const double t = std::exp2(x);
        const double r0 = 1.0 / (2.0 * std::sqrt(t));
        for (int k = 0; k < kTableSize; ++k) {
            const double r = r0 * std::pow(4.0 * t, k / kTableSteps);
            const double h = BandFilter(r, x);
            w.ratio[k] = r;
            w.weight[k] = h * h;
        }
    } else {
        const double g = kRoexWidthFactor * (std::exp2(x / 2) - std::exp2(-x / 2)) / 4;
        const double h = kRoexSpan * g;
        if (!(h < 1.0) || !(g > 0.0)) {
            return false;
        }
        const double r0 = 1.0 - h;
        for (int k = 0; k < kTableSize; ++k) {
            const double r = r0 * std::pow((1.0 + h) / (1.0 - h), k / kTableSteps);
            const double u = std::fabs(r - 1.0) / g;
            w.ratio[k] = r;
            w.weight[k] = (1.0 + u) * std::exp(-u);
        }
    }
    w.ascending = true;
    for (int k = 0; k < kTableSize; ++k) {
        if (!std::isfinite(w.ratio[k]) || !std::isfinite(w.weight[k])) {
            return false;
        }
        w.ascending = w.ascending && (k == 0 || w.ratio[k] > w.ratio[k - 1]);
    }
    return true;
}

// First index with axis >= v (n when none) on an ascending axis; bounded on any axis.
int FirstAtOrAbove(const double* a, int n, double v) {
    int lo = 0, hi = n;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (a[mid] < v) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

// Last index with axis <= v (-1 when none) on an ascending axis; bounded on any axis.
int LastAtOrBelow(const double* a, int n, double v) {
    int lo = 0, hi = n;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (a[mid] <= v) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo - 1;
}

// Quadratic interpolation at f of log power and phase through the three points around f.
void InterpolateThree(const double* a, const double* pw, const double* phi, int n, double f,
                      double& m, double& phase) {
    int j = std::clamp(FirstAtOrAbove(a, n, f), 1, n - 1);
    int c = (f - a[j - 1] < a[j] - f) ? j - 1 : j;
    c = std::clamp(c, 1, n - 2);
    const double x0 = a[c - 1], x1 = a[c], x2 = a[c + 1];
    const double y0 = std::log(std::max(pw[c - 1], kMinMagnitude));
    const double y1 = std::log(std::max(pw[c], kMinMagnitude));
    const double y2 = std::log(std::max(pw[c + 1], kMinMagnitude));
    const double p1 = phi[c];
    const double p0 = NearTo(phi[c - 1], p1);
    const double p2 = NearTo(phi[c + 1], p1);
    if (x0 == x1 || x1 == x2 || x0 == x2) {
        m = std::sqrt(std::exp(y1));
        phase = p1;
        return;
    }
    const double l0 = (f - x1) * (f - x2) / ((x0 - x1) * (x0 - x2));
    const double l1 = (f - x0) * (f - x2) / ((x1 - x0) * (x1 - x2));
    const double l2 = (f - x0) * (f - x1) / ((x2 - x0) * (x2 - x1));
    m = std::sqrt(std::exp(l0 * y0 + l1 * y1 + l2 * y2));
    phase = l0 * p0 + l1 * p1 + l2 * p2;
}

bool OutputFrequencies(const CCurve& curve, double pointsPerOctave, double lowest, double highest,
                       std::vector<double>& out) {
    const int n = curve.Count();
    const double* a = curve.X();
    if (pointsPerOctave == 0) {
        out.assign(a, a + n);
        return true;
    }
    if (pointsPerOctave < 0) {
        out.assign(kThirdOctaves.begin(), kThirdOctaves.end());
        return true;
    }
    const double s = std::max(lowest, a[1]);
    const double e = std::min(highest, a[n - 1]);
    const double limit = std::floor(pointsPerOctave * std::log2(e / s)) + 2;
    if (!(s > 0.0) || !(limit >= 1.0)) {
        return true;  // no grid point
    }
    if (limit > kMaxOutput) {
        return false;
    }
    const int count = static_cast<int>(limit);
    out.reserve(count);
    for (int k = 0; k < count; ++k) {
        const double f = s * std::exp2(k / pointsPerOctave);
        if (f > a[n - 1]) {
            break;
        }
        out.push_back(f);
    }
    return true;
}

// std::fmod(p, 2pi), exactly as it. The remainder p - n * 2pi is representable for the true
// quotient n, so a fused multiply-add gives it once n, off by at most one here, is right.
double RemainderTwoPi(double p) {
    const double x = std::fabs(p);
    if (!(x < 0x1p40)) {
        return std::fmod(p, kTwoPi);
    }
    const double n = std::trunc(x / kTwoPi);
    double r = std::fma(-n, kTwoPi, x);
    if (r < 0.0) {
        r = std::fma(1.0 - n, kTwoPi, x);
    } else if (r >= kTwoPi) {
        r = std::fma(-1.0 - n, kTwoPi, x);
    }
    return r == 0.0 ? std::fmod(p, kTwoPi) : std::copysign(r, p);
}

// Power and phase in [0, 2pi) of every input point, read from the representation the curve is
// in (a magnitude and phase are not sent through Cartesian form and back).
void PowerAndPhase(const CCurve& curve, std::vector<double>& pw, std::vector<double>& phi) {
    const int n = curve.Count();
    const double* first = curve.First();
    const double* second = curve.Second();
    pw.resize(n);
    phi.resize(n);
    for (int i = 0; i < n; ++i) {
        double p = 0.0;
        if (curve.Format() == DataFormat::Cartesian) {
            pw[i] = first[i] * first[i] + second[i] * second[i];
            if (pw[i] != 0.0) {
                p = std::atan2(second[i], first[i]);
            }
        } else {
            const double m =
                curve.Format() == DataFormat::DbPhase ? std::pow(10.0, first[i] / 20.0) : first[i];
            pw[i] = m * m;
            if (pw[i] != 0.0) {
                p = m < 0.0 ? second[i] + std::numbers::pi : second[i];
                p = std::fabs(p) < kTwoPi ? p : RemainderTwoPi(p);
            }
        }
        if (p < 0.0) {
            p += kTwoPi;
        }
        phi[i] = p >= kTwoPi ? 0.0 : p;
    }
}

// Whether the weighting table entry R > a / f, with the quotient rounded as a division rounds it.
// The product f * R decides unless it lies within 1e-14 of a; only then is the division done.
inline bool RatioBelow(double tableRatio, double a, double f) {
    const double t = f * tableRatio;
    if (t > 1e-290 && t < 1e290) {
        if (a < t * (1.0 - 1e-14)) {
            return true;
        }
        if (a > t * (1.0 + 1e-14)) {
            return false;
        }
    }
    return tableRatio > a / f;
}

// The first table index from k whose ratio exceeds a / f, or the last index: the linear search.
inline int NextAboveLinear(const double* R, int k, double a, double f) {
    while (k < kTableSize - 1 && !RatioBelow(R[k], a, f)) {
        ++k;
    }
    return k;
}

// The same on an ascending table, by doubling steps and then halving: a window of few points
// crosses the whole table in a few large steps.
inline int NextAboveSearch(const double* R, int k, double a, double f) {
    constexpr int last = kTableSize - 1;
    if (k >= last || RatioBelow(R[k], a, f)) {
        return k;
    }
    int below = k;  // R[below] <= a / f
    int above = last;
    for (int step = 1; below + step < last; step *= 2) {
        if (RatioBelow(R[below + step], a, f)) {
            above = below + step;
            break;
        }
        below += step;
    }
    while (above - below > 1) {
        const int mid = below + (above - below) / 2;
        if (RatioBelow(R[mid], a, f)) {
            above = mid;
        } else {
            below = mid;
        }
    }
    return above;
}

inline int NextAbove(const double* R, int k, double a, double f) {
    if (k < kTableSize - 1 && RatioBelow(R[k], a, f)) {
        return k;
    }
    if (k + 1 < kTableSize - 1 && RatioBelow(R[k + 1], a, f)) {
        return k + 1;
    }
    return NextAboveSearch(R, k, a, f);
}

// NearTo(phase, sum / weight) for weight > 0, which moves the phase by round((phase - mean) / 2pi)
// whole turns when it lies more than pi from the mean. Neighbouring points usually need the same
// turns as the point before (or one more or less), so those candidates are tried first through
// products; a candidate well within pi of the mean is the one NearTo picks. Only otherwise is the
// mean divided out. turns is updated to the turns taken.
[[gnu::noinline]] double NearMean(double phase, double sum, double weight, double& turns) {
    if (std::fabs(sum) < 1e3 * weight) {
        const double bound = std::numbers::pi * weight * (1.0 - 1e-12);
        for (const double m : {turns, turns + 1.0, turns - 1.0}) {
            const double candidate = m == 0.0 ? phase : phase - kTwoPi * m;
            if (std::fabs(candidate * weight - sum) <= bound) {
                turns = m;
                return candidate;
            }
        }
    }
    const double d = phase - sum / weight;
    if (d >= -std::numbers::pi && d <= std::numbers::pi) {
        turns = 0.0;
        return phase;
    }
    const double t = RoundHalfAway(d / kTwoPi);
    if (!std::isfinite(t)) {
        turns = 0.0;
        return phase;
    }
    turns = t;
    return phase - kTwoPi * t;
}

// Weights W[k] of the points first..last at frequency f, with the table searched as the ratio a / f
// grows (and again from the start where it falls), or looked up through index when it has one.
void PointWeights(const Weighting& w, const RatioIndex* index, const double* a, int first, int last,
                  double f, double* weights) {
    const double* W = w.weight.data();
    if (index != nullptr) {
        index->Weights(W, a + first, f, weights, last - first + 1);
        return;
    }
    const double* R = w.ratio.data();
    int k = 0;
    for (int j = first; j <= last; ++j) {
        if (j > first && !(a[j] >= a[j - 1]) && !(a[j] / f >= a[j - 1] / f)) {
            k = 0;
        }
        k = w.ascending ? NextAbove(R, k, a[j], f) : NextAboveLinear(R, k, a[j], f);
        weights[j - first] = W[k];
    }
}

// One output point from the input points first..last (at least three) with their weights: the
// weighted power and the power-weighted phase, every phase moved by whole turns to within pi of
// the running mean. The running mean is compared through products, and divided out only when a
// phase lies near half a turn from it.
void WeightedPoint(const double* weights, const double* pw, const double* phi, int first, int last,
                   int normalise, double& m, double& phase) {
    double sumW = 0.0, sumWP = 0.0, sumWPPhi = 0.0;
    double turns = 0.0, shift = 0.0;  // shift = 2pi * turns
    for (int j = first; j <= last; ++j) {
        const double weight = weights[j - first];
        const double wp = weight * pw[j];
        double p = phi[j];
        if (j != first && sumWP > 0.0) {
            // NearMean's first candidate, the turns of the point before, tried here.
            const double candidate = p - shift;
            if (std::fabs(sumWPPhi) < 1e3 * sumWP && std::fabs(candidate * sumWP - sumWPPhi) <=
                                                         std::numbers::pi * sumWP * (1.0 - 1e-12)) {
                p = candidate;
            } else {
                p = NearMean(p, sumWPPhi, sumWP, turns);
                shift = kTwoPi * turns;
            }
        } else if (j != first) {
            p = NearTo(p, phi[first]);
        }
        sumW += weight;
        sumWP += wp;
        sumWPPhi += wp * p;
    }
    double power = sumWP;
    if (normalise != 0) {
        power = sumW > 0.0 ? sumWP / sumW : 0.0;
    }
    m = std::sqrt(power);
    phase = sumWP > 0.0 ? sumWPPhi / sumWP : 0.0;
}

// As WeightedPoint on the bandwidth-scaled axis (a - f) / u + 1.
void ScaledPoint(const Weighting& w, const double* a, const double* pw, const double* phi,
                 int first, int last, double f, double u, int normalise, double& m, double& phase) {
    const double* R = w.ratio.data();
    const double* W = w.weight.data();
    double sumW = 0.0, sumWP = 0.0, sumWPPhi = 0.0;
    int k = 0;
    double previous = -HUGE_VAL;
    for (int j = first; j <= last; ++j) {
        const double r = (a[j] - f) / u + 1.0;
        if (!(r >= previous)) {
            k = 0;
        }
        previous = r;
        while (k < kTableSize - 1 && !(R[k] > r)) {
            ++k;
        }
        const double weight = W[k];
        const double wp = weight * pw[j];
        const double ref = sumWP > 0.0 ? sumWPPhi / sumWP : phi[first];
        const double p = j == first ? phi[j] : NearTo(phi[j], ref);
        sumW += weight;
        sumWP += wp;
        sumWPPhi += wp * p;
    }
    double power = sumWP;
    if (normalise != 0) {
        power = sumW > 0.0 ? sumWP / sumW : 0.0;
    }
    m = std::sqrt(power);
    phase = sumWP > 0.0 ? sumWPPhi / sumWP : 0.0;
}

// The weighting table of one width and its index.
struct Tables {
    double fraction = 0.0;
    Weighting weighting;
    RatioIndex index;
    bool indexed = false;
};

// The tables for fraction, built on the first call with it in this thread (a thread smoothing
// several curves usually smooths them alike); null when the width gives no usable table.
#ifdef _WIN32
// MinGW's static runtime runs a thread_local's destructor after the thread's storage is gone
// (the thread's end then frees a stale pointer), so there the cache is a plain pointer, and the
// last table of each thread is left to the process's end.
struct TablesCache {
    Tables* tables = nullptr;
    Tables* get() const { return tables; }
    explicit operator bool() const { return tables != nullptr; }
    Tables* operator->() const { return tables; }
    void reset() {
        delete tables;
        tables = nullptr;
    }
    TablesCache& operator=(std::unique_ptr<Tables> t) {
        reset();
        tables = t.release();
        return *this;
    }
};
#else
using TablesCache = std::unique_ptr<Tables>;
#endif

const Tables* TablesFor(double fraction) {
    thread_local TablesCache cached;
    if (!cached || cached->fraction != fraction) {
        auto tables = std::make_unique<Tables>();
        tables->fraction = fraction;
        if (!BuildWeighting(fraction, tables->weighting)) {
            cached.reset();
            return nullptr;
        }
        tables->indexed = !tables->weighting.bandwidthScaled && tables->weighting.ascending &&
                          tables->index.Build(tables->weighting.ratio.data(), kTableSize);
        cached = std::move(tables);
    }
    return cached.get();
}

// The smoothing proper; false when the curve is to stay as it is.
bool SmoothInto(CCurve& curve, double fraction, double pointsPerOctave, double lowest,
                double highest, int normalise) {
    const int n = curve.Count();
    if (n < 3 || !std::isfinite(fraction) || fraction == 0.0 || std::isnan(pointsPerOctave)) {
        return false;  // too few points for the three-point interpolation, or no width
    }
    const Tables* tables = TablesFor(fraction);
    if (tables == nullptr) {
        return false;
    }
    const Weighting& w = tables->weighting;
    const RatioIndex* index = tables->indexed ? &tables->index : nullptr;
    std::vector<double> freqs;
    if (!OutputFrequencies(curve, pointsPerOctave, lowest, highest, freqs) || freqs.empty()) {
        return false;
    }
    const double* a = curve.X();
    std::vector<double> pw, phi;
    PowerAndPhase(curve, pw, phi);

    const int outCount = static_cast<int>(freqs.size());
    std::vector<double> outM(outCount), outP(outCount);
    std::vector<double> weights;
    const double* R = w.ratio.data();
    for (int o = 0; o < outCount; ++o) {
        const double f = freqs[o];
        double lo = f * R[0], hi = f * R[kTableSize - 1];
        double u = 1.0;
        if (w.bandwidthScaled) {
            u = kErbAtZeroHz * (kErbPerKhz * f / 1000.0 + 1.0) / w.bandwidthScale;
            lo = f + (R[0] - 1.0) * u;
            hi = f + (R[kTableSize - 1] - 1.0) * u;
        }
        const int first = FirstAtOrAbove(a, n, lo);
        const int last = LastAtOrBelow(a, n, hi);
        if (last - first + 1 <= 2) {
            InterpolateThree(a, pw.data(), phi.data(), n, f, outM[o], outP[o]);
        } else if (w.bandwidthScaled) {
            ScaledPoint(w, a, pw.data(), phi.data(), first, last, f, u, normalise, outM[o],
                        outP[o]);
        } else {
            weights.resize(std::max(weights.size(), static_cast<std::size_t>(last - first + 1)));
            PointWeights(w, index, a, first, last, f, weights.data());
            WeightedPoint(weights.data(), pw.data(), phi.data(), first, last, normalise, outM[o],
                          outP[o]);
        }
    }
    if (freqs[0] == 0.0) {
        const double m0 = std::sqrt(pw[0]);
        outM[0] = outCount > 1 ? std::min(m0, outM[1]) : m0;
    }

    // Magnitude and phase in (-pi, pi]; a zero magnitude has phase 0.
    CCurve result(outCount, curve.Kind(), DataFormat::MagPhase);
    double* x = result.X();
    double* rm = result.First();
    double* rp = result.Second();
#pragma omp parallel for schedule(static) if (outCount >= parallel::kMinArithmetic)
    for (int o = 0; o < outCount; ++o) {
        x[o] = freqs[o];
        rm[o] = outM[o];
        double p = std::fabs(outP[o]) < kTwoPi ? outP[o] : std::fmod(outP[o], kTwoPi);
        if (p > std::numbers::pi) {
            p -= kTwoPi;
        } else if (p <= -std::numbers::pi) {
            p += kTwoPi;
        }
        rp[o] = outM[o] == 0.0 ? 0.0 : p;
    }
    curve.axis.values = std::move(result.axis.values);
    curve.data.first = std::move(result.data.first);
    curve.data.second = std::move(result.data.second);
    curve.data.format = DataFormat::MagPhase;
    return true;
}

}  // namespace

void Smooth(CCurve& curve, double fraction, double pointsPerOctave, double lowest, double highest,
            int normalise) {
    bool smoothed = false;
    try {
        smoothed = SmoothInto(curve, fraction, pointsPerOctave, lowest, highest, normalise);
    } catch (const std::bad_alloc&) {
        smoothed = false;  // the curve stays as it was
    }
    // A curve that is not smoothed is left Cartesian, as the smoothing would have read it.
    if (!smoothed) {
        ToCartesian(curve);
    }
}
