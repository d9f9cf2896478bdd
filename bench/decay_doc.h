#pragma once
// A document of ten positions with stored impulses (a few modes and a little noise each), a
// fitted equaliser and a re-measurement, for the decay benchmarks.

#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "correction/EqResult.h"
#include "document/DocData.h"
#include "measure/Curve.h"
#include "measure/Decay.h"

namespace bench {

// A peaking section at the impulses' rate.
inline void Peak(SectionArrays& s, double f0, double gainDb, double q) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w = 2.0 * std::numbers::pi * f0 / Decay::kImpulseRate;
    const double alpha = std::sin(w) / (2.0 * q);
    const double a0 = 1.0 + alpha / a;
    s.b0.push_back((1.0 + alpha * a) / a0);
    s.b1.push_back(-2.0 * std::cos(w) / a0);
    s.b2.push_back((1.0 - alpha * a) / a0);
    s.a0.push_back(1.0);
    s.a1.push_back(-2.0 * std::cos(w) / a0);
    s.a2.push_back((1.0 - alpha / a) / a0);
}

inline std::vector<float> RoomImpulse(int position) {
    SectionArrays modes;
    Peak(modes, 34.0 + position, 8, 6);
    Peak(modes, 52.0 - position, 6, 4);
    Peak(modes, 95.0, -6, 3);
    std::vector<double> h(Decay::kImpulseLength, 0.0);
    h[10] = 1.0;
    for (size_t k = 0; k < modes.size(); ++k) {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (double& v : h) {
            const double y = modes.b0[k] * v + modes.b1[k] * x1 + modes.b2[k] * x2 -
                             modes.a1[k] * y1 - modes.a2[k] * y2;
            x2 = x1, x1 = v, y2 = y1, y1 = y;
            v = y;
        }
    }
    std::mt19937 gen(static_cast<unsigned>(position));
    std::normal_distribution<double> noise(0.0, 1e-4);
    std::vector<float> out;
    for (double v : h)
        out.push_back(static_cast<float>(v + noise(gen)));
    return out;
}

inline void FillDecayDocument(DocData& doc) {
    for (int p = 0; p < 10; ++p) {
        doc.measurements.push_back(std::make_shared<CCurve>());
        doc.impulses.push_back(RoomImpulse(p));
        doc.verifiedImpulses.push_back(RoomImpulse(p + 10));
    }
    doc.verified = std::make_shared<CCurve>();
    SectionArrays eq;
    Peak(eq, 34.0, -8, 6);
    Peak(eq, 52.0, -6, 4);
    doc.eq.valid = 1;
    doc.eq.gain = -1.5;
    doc.eq.bands.clear();
    for (size_t k = 0; k < eq.size(); ++k)
        doc.eq.bands.push_back(GetBand(eq, k));
}

}  // namespace bench
