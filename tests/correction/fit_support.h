#pragma once
// Independent helpers for the equaliser fit tests: biquad responses evaluated with complex
// arithmetic, root geometry of coefficient pairs, and synthetic rooms on a smoothed axis.

#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <vector>

#include "measure/Curve.h"

namespace fittest {

using cplx = std::complex<double>;
constexpr double kPi = std::numbers::pi;

// Roots of z^2 + c1 z + c2, i.e. of 1 + c1 z^-1 + c2 z^-2.
inline std::pair<cplx, cplx> PairRoots(double c1, double c2) {
    const cplx d = std::sqrt(cplx(c1 * c1 - 4.0 * c2, 0.0));
    return {(-c1 + d) / 2.0, (-c1 - d) / 2.0};
}

inline double LargerRootModulus(double c1, double c2) {
    const auto [z1, z2] = PairRoots(c1, c2);
    return std::max(std::abs(z1), std::abs(z2));
}

// Q and natural frequency (Hz) of a complex pair at sample rate fs.
inline double PairQ(double c1, double c2) {
    const double r = std::sqrt(c2);
    const double theta = std::acos(-c1 / (2.0 * r));
    const double lnr = std::log(r);
    return std::sqrt(theta * theta + lnr * lnr) / (2.0 * std::fabs(lnr));
}

inline double PairAngle(double c1, double c2) {
    return std::acos(-c1 / (2.0 * std::sqrt(c2)));
}

// The pair of a resonance at f0 Hz with quality q, by pole mapping at fs.
inline std::pair<double, double> Resonance(double f0, double q, double fs) {
    const double w = 2.0 * kPi * f0 / fs;
    const double radius = std::exp(-w / (2.0 * q));
    const double theta = w * std::sqrt(4.0 - 1.0 / (q * q)) / 2.0;
    return {-2.0 * radius * std::cos(theta), radius * radius};
}

// |(b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2)| at z = e^(jw).
inline double BiquadAbs(double b0, double b1, double b2, double a1, double a2, double w) {
    const cplx z1 = std::polar(1.0, -w);
    const cplx z2 = z1 * z1;
    return std::abs((b0 + b1 * z1 + b2 * z2) / (1.0 + a1 * z1 + a2 * z2));
}

// Analogue prototypes at s = j 2 pi f.
inline cplx S(double f) {
    return cplx(0.0, 2.0 * kPi * f);
}
inline cplx HighPass2(double f, double f0, double q) {
    const double w = 2.0 * kPi * f0;
    const cplx s = S(f);
    return s * s / (s * s + s * w / q + w * w);
}
inline cplx LowPass2(double f, double f0, double q) {
    const double w = 2.0 * kPi * f0;
    const cplx s = S(f);
    return w * w / (s * s + s * w / q + w * w);
}
// A room mode (positive dB) or dip (negative dB) of quality q at f0.
inline cplx Mode(double f, double f0, double gainDb, double q) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w = 2.0 * kPi * f0;
    const cplx s = S(f);
    return (s * s + s * (a / q) * w + w * w) / (s * s + s / (a * q) * w + w * w);
}

struct RoomMode {
    double f0;
    double gainDb;
    double q;
};

struct Room {
    double highPassHz;  // second-order Butterworth, applied twice when fourthOrder
    bool fourthOrder;
    double crossoverHz;  // fourth-order Linkwitz-Riley low-pass
    std::vector<RoomMode> modes;
    double levelDb;  // overall level of the measurement
};

// The axis a smoothed measurement has: 25 points per octave from 5 Hz up to 24000 Hz.
inline std::vector<double> SmoothedAxis() {
    std::vector<double> f;
    for (int k = 0;; ++k) {
        const double x = 5.0 * std::pow(2.0, k / 25.0);
        if (x > 24000.0)
            break;
        f.push_back(x);
    }
    return f;
}

inline CurvePtr CurveFrom(const std::vector<double>& axis, const std::vector<cplx>& values) {
    auto c = std::make_shared<CCurve>(static_cast<int>(axis.size()), AxisKind::Frequency,
                                      DataFormat::MagPhase);
    for (size_t i = 0; i < axis.size(); ++i) {
        c->X()[i] = axis[i];
        c->First()[i] = std::abs(values[i]);
        c->Second()[i] = std::arg(values[i]);
    }
    return c;
}

// The band-pass part of a room without its modes, at unity level.
inline cplx BandPass(const Room& room, double f) {
    cplx h = HighPass2(f, room.highPassHz, std::numbers::sqrt2 / 2.0);
    if (room.fourthOrder)
        h *= HighPass2(f, room.highPassHz, std::numbers::sqrt2 / 2.0);
    const cplx lp = LowPass2(f, room.crossoverHz, std::numbers::sqrt2 / 2.0);
    return h * lp * lp;
}

inline CurvePtr Measurement(const Room& room) {
    const std::vector<double> axis = SmoothedAxis();
    std::vector<cplx> v;
    for (double f : axis) {
        cplx h = BandPass(room, f) * std::pow(10.0, room.levelDb / 20.0);
        for (const RoomMode& m : room.modes)
            h *= Mode(f, m.f0, m.gainDb, m.q);
        v.push_back(h);
    }
    return CurveFrom(axis, v);
}

// The room's own band-pass as the target, normalised to 0 dB at its peak.
inline CurvePtr IdealTarget(const Room& room) {
    const std::vector<double> axis = SmoothedAxis();
    std::vector<cplx> v;
    double peak = 0.0;
    for (double f : axis) {
        v.push_back(BandPass(room, f));
        peak = std::max(peak, std::abs(v.back()));
    }
    for (cplx& x : v)
        x /= peak;
    return CurveFrom(axis, v);
}

// RMS of the level difference in dB over lo <= f <= hi, and the largest deviation.
struct Deviation {
    double rmsDb = 0.0;
    double maxDb = 0.0;
    int points = 0;
};

inline Deviation LevelDeviation(const CCurve& a, const CCurve& b, double lo, double hi) {
    Deviation d;
    double sum = 0.0;
    for (int i = 0; i < a.Count() && i < b.Count(); ++i) {
        const double f = a.X()[i];
        if (f < lo || f > hi)
            continue;
        const double diff = 20.0 * std::log10(a.First()[i] / b.First()[i]);
        sum += diff * diff;
        d.maxDb = std::max(d.maxDb, std::fabs(diff));
        ++d.points;
    }
    d.rmsDb = d.points > 0 ? std::sqrt(sum / d.points) : 0.0;
    return d;
}

}  // namespace fittest
