// Curve arithmetic, band measures and the similarity test.

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <vector>

#include "measure/Curve.h"
#include "measure/CurveDetail.h"
#include "measure/ParallelLoops.h"

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// phase moved by whole turns to within pi of reference.
inline double NearTo(double phase, double reference) {
    const double turns = std::round((phase - reference) / kTwoPi);
    return std::isfinite(turns) ? phase - kTwoPi * turns : phase;
}

}  // namespace

void Multiply(CCurve& a, const CCurve& b) {
    std::shared_ptr<CCurve> hold;
    const CCurve& r = curve_detail::MagPhaseOn(b, a, hold);
    ToMagPhase(a);
    const int n = a.Count();
    double* am = a.First();
    double* ap = a.Second();
    const double* rm = r.First();
    const double* rp = r.Second();
#pragma omp parallel for schedule(static) if (n >= parallel::kMinArithmetic)
    for (int i = 0; i < n; ++i) {
        am[i] *= rm[i];
        ap[i] += rp[i];
    }
}

void Divide(CCurve& a, const CCurve& b) {
    if (&a == &b) {
        const CCurve copy(b);
        Divide(a, copy);
        return;
    }
    std::shared_ptr<CCurve> hold;
    const CCurve& r = curve_detail::MagPhaseOn(b, a, hold);
    ToMagPhase(a);
    const int n = a.Count();
    double* am = a.First();
    double* ap = a.Second();
    if (n > 1 && a.X()[0] == 0.0 && am[1] / 1000.0 >= am[0]) {
        am[0] = 0.0;
        ap[0] = 0.0;
    }
    const double* rm = r.First();
    const double* rp = r.Second();
#pragma omp parallel for schedule(static) if (n >= parallel::kMinArithmetic)
    for (int i = 0; i < n; ++i) {
        if (rm[i] >= kMinMagnitude) {
            am[i] /= rm[i];
            ap[i] -= rp[i];
        } else if (am[i] >= kMinMagnitude) {
            am[i] = kMaxMagnitude;
            ap[i] -= rp[i];
        } else {
            am[i] = 0.0;
            ap[i] = 0.0;
        }
    }
}

void AccumulatePower(CCurve& acc, const CCurve& x) {
    // x in magnitude and phase on acc's axis, as a copy of its own: its phase is wrapped below.
    std::shared_ptr<CCurve> hold;
    if (&curve_detail::MagPhaseOn(x, acc, hold) == &x) {
        hold = Clone(x);
    }
    CCurve& r = *hold;
    ToMagPhase(acc);
    WrapPhasePositive(acc);
    WrapPhasePositive(r);
    const int n = acc.Count();
    double* power = acc.First();
    double* phase = acc.Second();
    const double* rm = r.First();
    const double* rp = r.Second();
#pragma omp parallel for schedule(static) if (n >= parallel::kMinTranscendental)
    for (int i = 0; i < n; ++i) {
        const double p = power[i];
        const double w = rm[i] * rm[i];
        const double total = p + w;
        power[i] = total;
        if (total != 0.0) {
            phase[i] = (NearTo(rp[i], phase[i]) * w + phase[i] * p) / total;
        }
    }
}

void Scale(CCurve& curve, double re, double im) {
    ToMagPhase(curve);
    const double m = std::hypot(re, im);
    const double phi = (re == 0.0 && im == 0.0) ? 0.0 : std::atan2(im, re);
    const int n = curve.Count();
    double* a = curve.First();
    double* b = curve.Second();
#pragma omp parallel for schedule(static) if (n >= parallel::kMinArithmetic)
    for (int i = 0; i < n; ++i) {
        a[i] *= m;
        b[i] += phi;
    }
}

void SqrtMagnitude(CCurve& curve) {
    ToMagPhase(curve);
    const int n = curve.Count();
    double* a = curve.First();
#pragma omp parallel for schedule(static) if (n >= parallel::kMinArithmetic)
    for (int i = 0; i < n; ++i) {
        a[i] = std::sqrt(a[i]);
    }
}

void SquareMagnitude(CCurve& curve) {
    ToMagPhase(curve);
    const int n = curve.Count();
    double* a = curve.First();
#pragma omp parallel for schedule(static) if (n >= parallel::kMinArithmetic)
    for (int i = 0; i < n; ++i) {
        a[i] *= a[i];
    }
}

void LimitBoost(CCurve& curve, double limit) {
    ToMagPhase(curve);
    const int n = curve.Count();
    double* m = curve.First();
    int i = 0;
    while (i < n) {
        if (!(m[i] > limit)) {
            ++i;
            continue;
        }
        // The run of points above unity gain around the first point above the limit.
        int begin = i;
        while (begin > 0 && m[begin - 1] > 1.0) {
            --begin;
        }
        int end = i;
        while (end < n && m[end] > 1.0) {
            ++end;
        }
        if (end > begin) {
            const double peak = *std::max_element(m + begin, m + end);
            const double c = (limit - peak) / (1.0 - peak);
            const double d = 1.0 - c;
            for (int k = begin; k < end; ++k) {
                m[k] = c + d * m[k];
            }
        }
        i = std::max(end, i + 1);
    }
}

ValuePair BandMax(const CCurve& curve, double lo, double hi) {
    const int n = curve.Count();
    if (n == 0) {
        return {0.0, 0.0};
    }
    const double* f = curve.First();
    const double* s = curve.Second();
    if (n == 1) {
        return {f[0], s[0]};
    }
    const int i = UpperIndex(curve.axis, lo);
    const int j = std::max(i, UpperIndex(curve.axis, hi));
    ValuePair best{f[i], s[i]};
    for (int k = i + 1; k <= j; ++k) {
        best.first = std::max(best.first, f[k]);
        best.second = std::max(best.second, s[k]);
    }
    return best;
}

double BandRms(const CCurve& original, double lo, double hi) {
    std::shared_ptr<CCurve> hold;
    const CCurve& curve = curve_detail::InFormat(original, DataFormat::MagPhase, hold);
    const int n = curve.Count();
    const double* x = curve.X();
    const double* m = curve.First();
    int first = 0;
    while (first < n && !(x[first] >= lo)) {
        ++first;
    }
    int last = n - 1;
    while (last >= 0 && !(x[last] <= hi)) {
        --last;
    }
    if (first >= n || last < first) {
        return 0.0;
    }
    double sum = 0.0;
    for (int k = first; k <= last; ++k) {
        sum += m[k] * m[k];
    }
    return std::sqrt(sum / (last - first + 1));
}

int PeakIndex(const CCurve& curve, double lo, double hi) {
    const int n = curve.Count();
    if (n == 0 || hi < lo) {
        return -1;
    }
    const int i = FloorIndex(curve.axis, lo);
    const int j = FloorIndex(curve.axis, hi);
    if (j < i || i < 0 || j > n) {
        return -1;
    }
    const double* f = curve.First();
    int best = i;
    for (int k = i + 1; k < j; ++k) {
        if (f[k] > f[best]) {
            best = k;
        }
    }
    return best;
}

double UpperEdge(const CCurve& original, double from, double level) {
    std::shared_ptr<CCurve> hold;
    const CCurve& curve = curve_detail::InFormat(original, DataFormat::DbPhase, hold);
    const int n = curve.Count();
    if (n == 0) {
        return 0.0;
    }
    const double* x = curve.X();
    const double* db = curve.First();
    int i = FloorIndex(curve.axis, from);
    while (i < n && db[i] >= level) {
        ++i;
    }
    return i < n ? x[i] : x[n - 1];
}

double LowerEdge(const CCurve& original, double from, double level) {
    std::shared_ptr<CCurve> hold;
    const CCurve& curve = curve_detail::InFormat(original, DataFormat::DbPhase, hold);
    const int n = curve.Count();
    if (n == 0) {
        return 0.0;
    }
    const double* x = curve.X();
    const double* db = curve.First();
    int i = 0;
    while (i < n - 1 && !(x[i] >= from)) {
        ++i;
    }
    while (i >= 0 && db[i] >= level) {
        --i;
    }
    return i >= 0 ? x[i] : x[0];
}

CurvePtr PowerAverage(const std::vector<CurvePtr>& curves) {
    if (curves.empty() || !curves.front()) {
        return nullptr;
    }
    CurvePtr average = Clone(*curves.front());
    SquareMagnitude(*average);
    int count = 1;
    for (std::size_t i = 1; i < curves.size(); ++i) {
        if (!curves[i]) {
            continue;
        }
        AccumulatePower(*average, *curves[i]);
        ++count;
    }
    Scale(*average, 1.0 / count, 0.0);
    SqrtMagnitude(*average);
    return average;
}

bool IsSimilar(const CCurve& first, const CCurve& second, double lo, double hi) {
    std::shared_ptr<CCurve> holdA, holdB;
    const CCurve& a = curve_detail::InFormat(first, DataFormat::DbPhase, holdA);
    const CCurve& b = curve_detail::InFormat(second, DataFormat::DbPhase, holdB);
    const int n = a.Count();
    if (b.Count() != n) {
        return false;
    }
    const double* ax = a.X();
    const double* bx = b.X();
    const double* al = a.First();
    const double* bl = b.First();
    const int p = PeakIndex(b, lo, hi);
    double peak = -std::numeric_limits<double>::infinity();
    if (p >= 0 && p < n) {
        peak = bl[p];
    } else {
        for (int k = 0; k < n; ++k) {
            if (bx[k] >= lo && bx[k] <= hi) {
                peak = std::max(peak, bl[k]);
            }
        }
    }
    for (int k = 0; k < n; ++k) {
        if (!(ax[k] >= lo && ax[k] <= hi)) {
            continue;
        }
        if (ax[k] != bx[k]) {
            return false;
        }
        if (al[k] < peak - 20.0 && bl[k] < peak - 20.0) {
            continue;
        }
        if (std::fabs(al[k] - bl[k]) > 3.0) {
            return false;
        }
    }
    return true;
}

double MagnitudeAt(const CCurve& curve, int i) {
    const double a = curve.First()[i];
    const double b = curve.Second()[i];
    switch (curve.Format()) {
        case DataFormat::Cartesian:
            return std::hypot(a, b);
        case DataFormat::MagPhase:
            return a;
        case DataFormat::DbPhase:
            return a <= kZeroLevelDb ? 0.0 : std::pow(10.0, a / 20.0);
    }
    return 0.0;
}

double LevelDbAt(const CCurve& curve, int i) {
    if (curve.Format() == DataFormat::DbPhase)
        return curve.First()[i];
    const double m = MagnitudeAt(curve, i);
    return m < kMinMagnitude ? kZeroLevelDb : 20.0 * std::log10(m);
}

double PhaseAt(const CCurve& curve, int i) {
    if (curve.Format() == DataFormat::Cartesian)
        return std::atan2(curve.Second()[i], curve.First()[i]);
    return curve.Second()[i];
}
