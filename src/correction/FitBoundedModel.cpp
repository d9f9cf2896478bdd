// The pairs of the refinement's cascade in terms of bounded variables.

#include "correction/FitBoundedModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace fit_refine {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kQBase = 16.0;
// Q in the pair's own terms: a complex pair needs more than 0.5.
constexpr double kLowestQ = 0.5 + 1e-6;
// A pair the Q limit pulled back may sit a little above the limit at its new natural
// frequency; one within this share of its bounds starts on them.
constexpr double kSlack = 1e-2;

// The Q limit at natural frequency w0, as LimitSectionQ applies it, and d ln Qmax / d ln w0.
double QLimit(const Bounds& b, double w0, double* slope = nullptr) {
    const double f0 = b.fsEq * w0 / (2.0 * kPi);
    double q = kQBase;
    double s = 0.0;
    if (f0 < 10.0) {
        q = kQBase / 8.0;
    } else if (f0 < 80.0) {
        q = kQBase * f0 / 80.0;
        s = 1.0;
    }
    if (slope != nullptr)
        *slope = s;
    return q;
}

// The lowest Q whose pair at natural frequency w0 keeps its angle at or above omegaLow, and
// d ln Q / d ln w0.
double QFloor(const Bounds& b, double w0, double* slope = nullptr) {
    const double u = (b.omegaLow / w0) * (b.omegaLow / w0);
    double q = u < 1.0 ? 0.5 / std::sqrt(1.0 - u) : HUGE_VAL;
    double s = u < 1.0 ? -u / (1.0 - u) : 0.0;
    if (!(q > kLowestQ)) {
        q = kLowestQ;
        s = 0.0;
    }
    if (slope != nullptr)
        *slope = s;
    return q;
}

Bounds MakeBounds(const EqFitState& state) {
    Bounds b;
    b.fsEq = state.fsEq;
    b.omegaLow = std::max(state.omegaLow, 1e-6);
    b.omegaHigh = std::clamp(state.omegaHigh, b.omegaLow, kPi);
    // The lowest natural frequency at which a pair inside the Q limit can keep its angle in
    // the band; the floor falls and the limit rises with frequency.
    double lo = b.omegaLow;
    double hi = b.omegaHigh;
    if (QFloor(b, hi) > QLimit(b, hi)) {
        lo = hi;
    } else {
        for (int i = 0; i < 100; ++i) {
            const double mid = 0.5 * (lo + hi);
            (QFloor(b, mid) > QLimit(b, mid) ? lo : hi) = mid;
        }
        lo = hi;
    }
    b.lnW0Min = std::log(lo);
    b.lnW0Max = std::log(b.omegaHigh);
    return b;
}

// c1, c2 of a pair from its two variables, and d = d(c1, c2) / d(v0, v1) row by row.
void PairCoefficients(const Bounds& b, PairKind kind, const double* v, double& c1, double& c2,
                      double* d) {
    switch (kind) {
        case PairKind::Resonance: {
            const double w0 = std::exp(v[0]);
            double floorSlope = 0.0;
            double limitSlope = 0.0;
            const double qLow = QFloor(b, w0, &floorSlope);
            const double qHigh = std::max(QLimit(b, w0, &limitSlope), qLow);
            const double span = std::log(qHigh / qLow);
            const double t = v[1];
            const double q = qLow * std::exp(t * span);
            const double dlnqA = (1.0 - t) * floorSlope + t * limitSlope;
            const double zeta = 0.5 / q;
            const double s = std::sqrt(std::max(0.0, 1.0 - zeta * zeta));
            const double r = std::exp(-w0 * zeta);
            const double theta = w0 * s;
            // ln r = -w0 zeta, zeta = 1 / 2q; theta = w0 sqrt(1 - zeta^2).
            const double dlnrA = -w0 * zeta * (1.0 - dlnqA);
            const double dlnrT = w0 * zeta * span;
            const double dthetaA = theta + (s > 0.0 ? w0 * zeta * zeta * dlnqA / s : 0.0);
            const double dthetaT = s > 0.0 ? w0 * zeta * zeta * span / s : 0.0;
            const double cs = std::cos(theta);
            const double sn = std::sin(theta);
            c1 = -2.0 * r * cs;
            c2 = r * r;
            d[0] = -2.0 * r * cs * dlnrA + 2.0 * r * sn * dthetaA;
            d[1] = -2.0 * r * cs * dlnrT + 2.0 * r * sn * dthetaT;
            d[2] = 2.0 * c2 * dlnrA;
            d[3] = 2.0 * c2 * dlnrT;
            return;
        }
        case PairKind::RealPoles: {
            const double d0 = std::exp(v[0]);
            const double d1 = std::exp(v[1]);
            const double z0 = std::exp(-d0);
            const double z1 = std::exp(-d1);
            c1 = -(z0 + z1);
            c2 = z0 * z1;
            d[0] = z0 * d0;
            d[1] = z1 * d1;
            d[2] = -z0 * d0 * z1;
            d[3] = -z1 * d1 * z0;
            return;
        }
        case PairKind::RealZeros:
            c1 = -(v[0] + v[1]);
            c2 = v[0] * v[1];
            d[0] = -1.0;
            d[1] = -1.0;
            d[2] = v[1];
            d[3] = v[0];
            return;
        case PairKind::Held:
            return;
    }
}

// The variables of a pair and their bounds; Held when the pair cannot be varied within them.
PairKind PairVariables(const Bounds& b, bool poles, double c1, double c2, double* v, double* lo,
                       double* hi) {
    if (!std::isfinite(c1) || !std::isfinite(c2) || (c1 == 0.0 && c2 == 0.0))
        return PairKind::Held;
    const double disc = c1 * c1 - 4.0 * c2;
    if (disc < 0.0) {
        const double r = std::sqrt(c2);
        if (!(r < 1.0))
            return PairKind::Held;
        const double theta = std::acos(std::clamp(-c1 / (2.0 * r), -1.0, 1.0));
        const double lnr = std::log(r);
        const double w0 = std::sqrt(theta * theta + lnr * lnr);
        const double q = w0 / (2.0 * std::fabs(lnr));
        const double a = std::log(w0);
        if (!(a >= b.lnW0Min - 1e-9 && a <= b.lnW0Max + 1e-9))
            return PairKind::Held;
        const double aClamped = std::clamp(a, b.lnW0Min, b.lnW0Max);
        const double qLow = QFloor(b, std::exp(aClamped));
        const double qHigh = std::max(QLimit(b, std::exp(aClamped)), qLow);
        if (!(q >= qLow * (1.0 - kSlack) && q <= qHigh * (1.0 + kSlack)))
            return PairKind::Held;
        const double span = std::log(qHigh / qLow);
        v[0] = aClamped;
        v[1] = span > 0.0 ? std::clamp(std::log(q / qLow) / span, 0.0, 1.0) : 1.0;
        lo[0] = b.lnW0Min;
        hi[0] = b.lnW0Max;
        lo[1] = 0.0;
        hi[1] = 1.0;
        return PairKind::Resonance;
    }
    const double root = std::sqrt(disc);
    const double z0 = (-c1 + root) / 2.0;
    const double z1 = (-c1 - root) / 2.0;
    if (!poles) {
        if (!(std::fabs(z0) <= 1.0 && std::fabs(z1) <= 1.0))
            return PairKind::Held;
        v[0] = z0;
        v[1] = z1;
        lo[0] = lo[1] = -1.0;
        hi[0] = hi[1] = 1.0;
        return PairKind::RealZeros;
    }
    const double lnLo = std::log(b.omegaLow);
    const double lnHi = std::log(b.omegaHigh);
    for (int i = 0; i < 2; ++i) {
        const double z = i == 0 ? z0 : z1;
        if (!(z > 0.0 && z < 1.0))
            return PairKind::Held;
        const double ln = std::log(-std::log(z));
        if (!(ln >= lnLo && ln <= lnHi))
            return PairKind::Held;
        v[i] = ln;
        lo[i] = lnLo;
        hi[i] = lnHi;
    }
    return PairKind::RealPoles;
}

}  // namespace

BoundedModel::BoundedModel(const EqFitState& state, const std::vector<double>& params)
    : bounds_(MakeBounds(state)), base_(params) {
    const int pairs = static_cast<int>(params.size()) / 2;
    for (int p = 0; p < pairs; ++p) {
        double v[2], lo[2], hi[2];
        const bool poles = p % 2 == 1;
        const PairKind kind =
            PairVariables(bounds_, poles, params[2 * p], params[2 * p + 1], v, lo, hi);
        if (kind == PairKind::Held)
            continue;
        pairs_.push_back({kind, 2 * p, static_cast<int>(x_.size())});
        x_.insert(x_.end(), {v[0], v[1]});
        lower_.insert(lower_.end(), {lo[0], lo[1]});
        upper_.insert(upper_.end(), {hi[0], hi[1]});
    }
}

void BoundedModel::Params(const std::vector<double>& x, std::vector<double>& params,
                          std::vector<double>& derivatives) const {
    params = base_;
    derivatives.assign(4 * pairs_.size(), 0.0);
    for (size_t i = 0; i < pairs_.size(); ++i) {
        const PairVar& pv = pairs_[i];
        PairCoefficients(bounds_, pv.kind, x.data() + pv.var, params[pv.param],
                         params[pv.param + 1], derivatives.data() + 4 * i);
    }
}

}  // namespace fit_refine
