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
#include <new>
#include <numbers>
#include <vector>

#include "measure/Curve.h"

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr int kTableSize = 1001;
// Log grids larger than this (absurd points-per-octave settings) would take minutes to fill and
// are treated as failed allocations.
constexpr double kMaxOutput = 1 << 16;

constexpr std::array<double, 31> kThirdOctaves = {
    20,  25,   31.5, 40,   50,   63,   80,   100,  125,  160,  200,  250,   315,   400,   500,  630,
    800, 1000, 1250, 1600, 2000, 2500, 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000};

struct Weighting {
    std::vector<double> ratio;   // R[k]
    std::vector<double> weight;  // W[k]
    bool bandwidthScaled = false;
    double bandwidthScale = 1.0;  // B
};

inline double NearTo(double phase, double reference) {
    const double d = phase - reference;
    if (d >= -std::numbers::pi && d <= std::numbers::pi) {
        return phase;  // the usual case, without a division
    }
    const double turns = std::round(d / kTwoPi);
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
        w.bandwidthScale = 1.07 * (std::exp2(x / 2) - std::exp2(-x / 2));
    }
    if (!w.bandwidthScaled && fraction < 2) {
        const double t = std::exp2(x);
        const double r0 = 1.0 / (2.0 * std::sqrt(t));
        for (int k = 0; k < kTableSize; ++k) {
            const double r = r0 * std::pow(4.0 * t, k / 999.0);
            const double h = BandFilter(r, x);
            w.ratio[k] = r;
            w.weight[k] = h * h;
        }
    } else {
        const double g = 1.07 * (std::exp2(x / 2) - std::exp2(-x / 2)) / 4;
        const double h = 6.6383 * g;
        if (!(h < 1.0) || !(g > 0.0)) {
            return false;
        }
        const double r0 = 1.0 - h;
        for (int k = 0; k < kTableSize; ++k) {
            const double r = r0 * std::pow((1.0 + h) / (1.0 - h), k / 999.0);
            const double u = std::fabs(r - 1.0) / g;
            w.ratio[k] = r;
            w.weight[k] = (1.0 + u) * std::exp(-u);
        }
    }
    for (int k = 0; k < kTableSize; ++k) {
        if (!std::isfinite(w.ratio[k]) || !std::isfinite(w.weight[k])) {
            return false;
        }
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

}  // namespace

void Smooth(CCurve& curve, double fraction, double pointsPerOctave, double lowest, double highest,
            int normalise) {
    ToCartesian(curve);
    const int n = curve.Count();
    if (n < 3 || !std::isfinite(fraction) || fraction == 0.0 || std::isnan(pointsPerOctave)) {
        return;  // too few points for the three-point interpolation, or no width
    }
    try {
        Weighting w;
        if (!BuildWeighting(fraction, w)) {
            return;
        }
        std::vector<double> freqs;
        if (!OutputFrequencies(curve, pointsPerOctave, lowest, highest, freqs) || freqs.empty()) {
            return;
        }
        const double* a = curve.X();
        const double* re = curve.First();
        const double* im = curve.Second();
        std::vector<double> pw(n), phi(n);
        for (int i = 0; i < n; ++i) {
            pw[i] = re[i] * re[i] + im[i] * im[i];
            double p = pw[i] == 0.0 ? 0.0 : std::fmod(std::atan2(im[i], re[i]), kTwoPi);
            if (p < 0.0) {
                p += kTwoPi;
            }
            phi[i] = p >= kTwoPi ? 0.0 : p;
        }

        const int outCount = static_cast<int>(freqs.size());
        std::vector<double> outM(outCount), outP(outCount);
        const double* R = w.ratio.data();
        const double* W = w.weight.data();
        for (int o = 0; o < outCount; ++o) {
            const double f = freqs[o];
            double lo = f * R[0], hi = f * R[kTableSize - 1];
            double u = 1.0;
            if (w.bandwidthScaled) {
                u = 24.7 * (4.37 * f / 1000.0 + 1.0) / w.bandwidthScale;
                lo = f + (R[0] - 1.0) * u;
                hi = f + (R[kTableSize - 1] - 1.0) * u;
            }
            const int first = FirstAtOrAbove(a, n, lo);
            const int last = LastAtOrBelow(a, n, hi);
            if (last - first + 1 <= 2) {
                InterpolateThree(a, pw.data(), phi.data(), n, f, outM[o], outP[o]);
                continue;
            }
            double sumW = 0.0, sumWP = 0.0, sumWPPhi = 0.0;
            int k = 0;
            double previous = -HUGE_VAL;
            for (int j = first; j <= last; ++j) {
                const double r = w.bandwidthScaled ? (a[j] - f) / u + 1.0 : a[j] / f;
                // The ratio grows with j on an ascending axis, so the table search resumes.
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
            outM[o] = std::sqrt(power);
            outP[o] = sumWP > 0.0 ? sumWPPhi / sumWP : 0.0;
        }
        if (freqs[0] == 0.0) {
            const double m0 = std::sqrt(pw[0]);
            outM[0] = outCount > 1 ? std::min(m0, outM[1]) : m0;
        }

        CCurve result(outCount, curve.Kind(), DataFormat::Cartesian);
        double* x = result.X();
        double* rr = result.First();
        double* ri = result.Second();
#pragma omp parallel for schedule(static)
        for (int o = 0; o < outCount; ++o) {
            x[o] = freqs[o];
            rr[o] = outM[o] * std::cos(outP[o]);
            ri[o] = outM[o] * std::sin(outP[o]);
        }
        curve.axis.values = std::move(result.axis.values);
        curve.data.first = std::move(result.data.first);
        curve.data.second = std::move(result.data.second);
        curve.data.format = DataFormat::Cartesian;
    } catch (const std::bad_alloc&) {
        return;  // the curve stays as it was
    }
    ToMagPhase(curve);
    WrapPhase(curve);
}
