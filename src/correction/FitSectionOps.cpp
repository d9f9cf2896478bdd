// Operations on the section parameters: seeding a new section, keeping pole and zero pairs
// inside the unit circle, limiting their Q and removing sections that left the fit band.

#include <algorithm>
#include <cmath>
#include <numbers>

#include "correction/Fit.h"

namespace {

constexpr double kPi = std::numbers::pi;

// The monic pair of a resonance of quality q at omega: radius e^(-w/2q), angle w sqrt(4-1/q^2)/2.
void ResonancePair(double q, double omega, double& c1, double& c2) {
    const double radius = std::exp(-omega / (2.0 * q));
    const double theta = omega * std::sqrt(std::max(0.0, 4.0 - 1.0 / (q * q))) / 2.0;
    c1 = -2.0 * radius * std::cos(theta);
    c2 = radius * radius;
}

bool IsComplexPair(double c1, double c2) {
    return c1 * c1 - 4.0 * c2 < 0.0;
}

// Radius and angle of a complex pair.
void PolarPair(double c1, double c2, double& radius, double& theta) {
    radius = std::sqrt(c2);
    theta = std::acos(std::clamp(-c1 / (2.0 * radius), -1.0, 1.0));
}

// Limits one complex pair; true when it was changed.
bool LimitPairQ(double& c1, double& c2, int fsEq, double qBase) {
    if (!IsComplexPair(c1, c2))
        return false;
    double radius = 0.0;
    double theta = 0.0;
    PolarPair(c1, c2, radius, theta);
    const double lnr = std::log(radius);
    const double natural = std::sqrt(theta * theta + lnr * lnr);
    const double q = lnr == 0.0 ? HUGE_VAL : natural / (2.0 * std::fabs(lnr));
    const double f0 = fsEq * natural / (2.0 * kPi);
    double qMax = qBase;
    if (f0 < 10.0)
        qMax = qBase / 8.0;
    else if (f0 < 80.0)
        qMax = qBase * f0 / 80.0;
    qMax = std::max(qMax, 0.5 + 1e-9);
    if (!(q > qMax))
        return false;
    const double limited = std::exp(-theta / std::sqrt(4.0 * qMax * qMax - 1.0));
    c1 = -2.0 * limited * std::cos(theta);
    c2 = limited * limited;
    return true;
}

bool PolesOutside(const double* s, int fsEq, double omegaLow, double omegaHigh) {
    auto outside = [&](double w) { return !(w >= omegaLow && w <= omegaHigh); };
    const double a1 = s[2];
    const double a2 = s[3];
    if (IsComplexPair(a1, a2)) {
        double radius = 0.0;
        double theta = 0.0;
        PolarPair(a1, a2, radius, theta);
        const double lnr = std::log(radius);
        return outside(theta) || outside(std::sqrt(theta * theta + lnr * lnr));
    }
    const double root = std::sqrt(std::max(0.0, a1 * a1 - 4.0 * a2));
    const double roots[2] = {(-a1 + root) / 2.0, (-a1 - root) / 2.0};
    bool remove = false;
    for (double z : roots) {
        if (z > 0.0)
            remove = remove || outside(-std::log(z));
        else if (z < 0.0)
            remove = remove || -std::log(-z) < 2.0 * kPi * 4000.0 / fsEq;
    }
    return remove;
}

bool ZerosOutside(const double* s, double omegaLow, double omegaHigh) {
    if (!IsComplexPair(s[0], s[1]))
        return false;
    double radius = 0.0;
    double theta = 0.0;
    PolarPair(s[0], s[1], radius, theta);
    return !(theta >= omegaLow && theta <= omegaHigh);
}

}  // namespace

bool StabilizePair(double& c1, double& c2) {
    if (!std::isfinite(c1) || !std::isfinite(c2)) {
        c1 = 0.0;
        c2 = 0.0;
        return true;
    }
    if (-c2 > -1.0 && -c1 - c2 < 1.0 && -c1 + c2 > -1.0)
        return false;
    double n1 = c1;
    double n2 = c2;
    const double disc = c1 * c1 - 4.0 * c2;
    if (disc < 0.0) {
        // Complex roots x +- jy with squared modulus c2: reflect to 1 / conj(z).
        const double x = -c1 / 2.0;
        n1 = -2.0 * x / c2;
        n2 = 1.0 / c2;
    } else {
        const double root = std::sqrt(disc);
        double z1 = (-c1 + root) / 2.0;
        double z2 = (-c1 - root) / 2.0;
        if (std::fabs(z1) < std::fabs(z2))
            std::swap(z1, z2);
        if (z1 != 0.0)
            z1 = 1.0 / z1;
        if (std::fabs(z2) > 1.0)
            z2 = 1.0 / z2;
        n1 = -(z1 + z2);
        n2 = z1 * z2;
    }
    const bool changed = n1 != c1 || n2 != c2;
    c1 = n1;
    c2 = n2;
    return changed;
}

bool LimitSectionQ(int sectionCount, double* params, int fsEq, double qBase) {
    bool changed = false;
    for (int i = 0; i < sectionCount; ++i) {
        double* s = params + kSectionParams * i;
        changed = LimitPairQ(s[2], s[3], fsEq, qBase) || changed;
        changed = LimitPairQ(s[0], s[1], fsEq, qBase) || changed;
    }
    return changed;
}

int PruneSections(int sectionCount, double* params, int fsEq, double omegaLow, double omegaHigh) {
    int count = sectionCount;
    for (int i = count - 1; i >= 0; --i) {
        const double* s = params + kSectionParams * i;
        const bool remove =
            PolesOutside(s, fsEq, omegaLow, omegaHigh) || ZerosOutside(s, omegaLow, omegaHigh);
        if (!remove)
            continue;
        std::copy(params + kSectionParams * (i + 1), params + kSectionParams * count,
                  params + kSectionParams * i);
        --count;
        std::fill(params + kSectionParams * count, params + kSectionParams * (count + 1), 0.0);
    }
    return count;
}

void AddSection(EqFitState& state, int k, double* params, int lowIndex, int highIndex) {
    double* s = params + kSectionParams * (k - 1);
    std::fill(s, s + kSectionParams, 0.0);
    const std::vector<FitPoint>& pt = state.points;
    const int n = static_cast<int>(pt.size());
    if (n == 0)
        return;
    const int iLow = std::clamp(lowIndex, 0, n - 1);
    const int iHigh = std::clamp(highIndex, iLow, n - 1);
    const int lowBound = pt[iLow].omega == 0.0 ? std::min(iLow + 1, iHigh) : iLow;

    // The run of same-signed residuals with the largest energy, and its largest residual.
    int a = -1;
    double bestSum = -1.0;
    for (int i = iLow; i < iHigh;) {
        if (pt[i].e == 0.0) {
            ++i;
            continue;
        }
        const bool positive = pt[i].e > 0.0;
        double sum = 0.0;
        double largest = -1.0;
        int at = i;
        for (; i < iHigh && pt[i].e != 0.0 && (pt[i].e > 0.0) == positive; ++i) {
            sum += pt[i].e * pt[i].e;
            if (std::fabs(pt[i].e) > largest) {
                largest = std::fabs(pt[i].e);
                at = i;
            }
        }
        if (sum > bestSum) {
            bestSum = sum;
            a = at;
        }
    }
    if (a < 0)
        return;

    double h = pt[a].r / (pt[a].r + pt[a].e);
    double gainDb = 20.0 * std::log10(h);
    if (std::isnan(gainDb))
        return;
    if (std::fabs(gainDb) > 12.0) {
        gainDb = gainDb < 0.0 ? -12.0 : 12.0;
        h = std::pow(10.0, gainDb / 20.0);
    }
    const double u = std::pow(10.0, gainDb / 40.0);
    const bool boost = u >= 1.0;
    auto within = [&](int j) {
        const double rho = pt[j].r / (pt[j].r + pt[j].e);
        return boost ? rho >= u : rho <= u;
    };
    int x1 = a;
    while (x1 - 1 >= lowBound && within(x1 - 1))
        --x1;
    int x2 = a;
    while (x2 + 1 <= iHigh && within(x2 + 1))
        ++x2;
    if (x1 == x2) {
        if (x2 + 1 < iHigh)
            ++x2;
        else if (x1 > 0)
            --x1;
    }

    const double w1 = pt[x1].omega;
    const double w2 = pt[x2].omega;
    const double wa = pt[a].omega;
    const double centre = boost ? std::pow(w1 * w2, 0.125) * std::pow(wa, 0.75)
                                : std::pow(w1 * w2, 0.25) * std::pow(wa, 0.5);
    if (!(centre > 0.0) || !std::isfinite(centre))
        return;
    const double g = std::fabs(gainDb);
    const double widen = g < 6.0 ? 1.0 + 0.37 * g / 6.0 : 1.37 + 0.63 * (g - 6.0) / 6.0;
    const double bandwidth = w2 - w1;
    double q = bandwidth > 0.0 ? centre / bandwidth * widen : 8.0;
    q = std::max(q, 8.0);

    const double zeroQ = boost ? q / h : q;
    const double poleQ = boost ? q : q * h;
    ResonancePair(zeroQ, centre, s[0], s[1]);
    ResonancePair(poleQ, centre, s[2], s[3]);
}
