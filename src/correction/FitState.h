#pragma once
// The working state of one equaliser fit: the fit points with their precomputed trigonometry,
// the section parameters being fitted and the finished cascade.
//
// A section has monic coefficients H(z) = (1 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2);
// its four fit parameters are (b1, b2, a1, a2), four per section, section after section.

#include <cmath>
#include <cstdint>
#include <vector>

#include "correction/EqResult.h"

class CCurve;

// Parameters per section.
inline constexpr int kSectionParams = 4;
// The factor the correction is limited to above unity when nothing else is asked (+6.02 dB).
inline constexpr double kSeedBoostLimit = 2.0;

struct FitPoint {
    double cos1 = 1.0;   // cos w
    double cos2 = 1.0;   // cos 2w
    double nsin1 = 0.0;  // -sin w
    double nsin2 = 0.0;  // -sin 2w
    double omega = 0.0;  // radians per sample at the equaliser rate
    double r = 0.0;      // desired magnitude
    double q = 1.0;      // model magnitude of the cascade
    double e = 0.0;      // residual gain * q - r
};

// A point at frequency omega with the desired magnitude r.
inline FitPoint MakeFitPoint(double omega, double r) {
    FitPoint p;
    p.omega = omega;
    p.r = r;
    p.cos1 = std::cos(omega);
    p.cos2 = std::cos(2.0 * omega);
    p.nsin1 = -std::sin(omega);
    p.nsin2 = -std::sin(2.0 * omega);
    return p;
}

// |1 + c1 z^-1 + c2 z^-2|^2 at the point.
inline double PairPower(const FitPoint& p, double c1, double c2) {
    const double re = 1.0 + c1 * p.cos1 + c2 * p.cos2;
    const double im = c1 * p.nsin1 + c2 * p.nsin2;
    return re * re + im * im;
}

// What a zero denominator power is taken to divide by: a very large but finite gain, so that
// errors stay comparable.
inline constexpr double kZeroDenominatorGain = 1e80;

// |H| of one monic section (b1, b2, a1, a2) at the point.
inline double SectionMagnitude(const FitPoint& p, const double* s) {
    const double num = PairPower(p, s[0], s[1]);
    const double den = PairPower(p, s[2], s[3]);
    return den == 0.0 ? std::sqrt(num * kZeroDenominatorGain) : std::sqrt(num / den);
}

struct EqFitState {
    EqFitState(int sampleRate, int sectionCount, const CCurve* targetCurve)
        : fsEq(sampleRate),
          sections(sectionCount),
          target(targetCurve),
          params(static_cast<size_t>(sectionCount) * kSectionParams, 0.0),
          best(params),
          cascade(SectionArrays::Identity(static_cast<size_t>(sectionCount))) {}

    int ParamCount() const { return sections * kSectionParams; }

    int fsEq;              // equaliser sample rate, Hz
    int sections;          // section count S
    const CCurve* target;  // the document's target curve; not owned
    std::vector<FitPoint> points;
    double gain = 1.0;           // least-squares overall gain of the last evaluation
    double extraGain = 1.0;      // folded into the gain steps
    std::vector<double> params;  // working parameters, 4 per section
    std::vector<double> best;    // best parameters saved so far
    SectionArrays cascade;       // the finished sections, ready for fixed point
    int32_t gainSteps = 0;       // overall gain in 0.5 dB steps after finalisation

    // The fit band as the section fit found it: the fit points at its edges and the range
    // outside of which a section counts as having left the band.
    int lowIndex = 0;
    int highIndex = 0;
    double omegaLow = 0.0;
    double omegaHigh = 0.0;

    // LimitBoost's factor on the correction the sections are fitted to.
    double boostLimit = kSeedBoostLimit;
};
