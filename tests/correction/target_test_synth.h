#pragma once
// Synthetic subwoofer measurements for the target tests: analogue prototypes evaluated on a
// smoothed-measurement axis, so the expected corners and slopes are known independently.

#include <cmath>
#include <complex>
#include <memory>
#include <vector>

#include "measure/Curve.h"

namespace target_test {

using Complex = std::complex<double>;

inline Complex AnalogHighPass2(double f, double f0, double q) {
    const Complex s(0.0, f / f0);
    return s * s / (s * s + s / q + 1.0);
}

inline Complex AnalogLowPass2(double f, double f0, double q) {
    const Complex s(0.0, f / f0);
    return 1.0 / (s * s + s / q + 1.0);
}

// A room mode: a resonance (or an anti-resonance) of gainDb at f0.
struct RoomMode {
    double f0;
    double q;
    double gainDb;
};

inline double ModeMagnitude(double f, const RoomMode& m) {
    const double a = std::pow(10.0, m.gainDb / 40.0);
    const Complex s(0.0, f / m.f0);
    return std::abs((s * s + s * (a / m.q) + 1.0) / (s * s + s / (a * m.q) + 1.0));
}

inline const std::vector<RoomMode>& TypicalRoom() {
    static const std::vector<RoomMode> room{{42, 5, 6}, {68, 4, -8}, {105, 3, 4}, {150, 6, -5}};
    return room;
}

struct SubModel {
    double hpCorner = 25.0;
    double hpQ = 0.7;
    int hpSections = 1;      // 1: second order, 2: fourth order
    double lowPass = 200.0;  // the amplifier's own 4th-order crossover; 0: none
    std::vector<RoomMode> room{};
    double levelDb = 80.0;
};

// The axis of a 25-points-per-octave smoothed measurement, 5 Hz .. top.
inline std::vector<double> LogAxis(double top = 24000.0, double pointsPerOctave = 25.0) {
    std::vector<double> f;
    for (int k = 0;; ++k) {
        const double v = 5.0 * std::pow(2.0, k / pointsPerOctave);
        if (v > top)
            break;
        f.push_back(v);
    }
    return f;
}

inline double SubMagnitude(const SubModel& sub, double f) {
    double m = std::pow(10.0, sub.levelDb / 20.0);
    for (int k = 0; k < sub.hpSections; ++k)
        m *= std::abs(AnalogHighPass2(f, sub.hpCorner, sub.hpQ));
    if (sub.lowPass > 0.0)
        m *= std::norm(AnalogLowPass2(f, sub.lowPass, 1.0 / std::sqrt(2.0)));
    for (const RoomMode& mode : sub.room)
        m *= ModeMagnitude(f, mode);
    return m;
}

inline CurvePtr Measure(const SubModel& sub, const std::vector<double>& axis = LogAxis()) {
    auto c = std::make_shared<CCurve>(static_cast<int>(axis.size()), AxisKind::Frequency,
                                      DataFormat::MagPhase);
    for (size_t i = 0; i < axis.size(); ++i) {
        c->X()[i] = axis[i];
        c->First()[i] = SubMagnitude(sub, axis[i]);
        c->Second()[i] = 0.0;
    }
    return c;
}

// A curve of given magnitudes (phase 0) on an axis.
inline CurvePtr MagnitudeCurve(const std::vector<double>& axis, const std::vector<double>& mag) {
    auto c = std::make_shared<CCurve>(static_cast<int>(axis.size()), AxisKind::Frequency,
                                      DataFormat::MagPhase);
    for (size_t i = 0; i < axis.size(); ++i) {
        c->X()[i] = axis[i];
        c->First()[i] = mag[i];
        c->Second()[i] = 0.0;
    }
    return c;
}

inline double Db(double m) {
    return 20.0 * std::log10(m);
}

}  // namespace target_test
