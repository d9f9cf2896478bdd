#include "correction/EqResult.h"

#include <algorithm>
#include <cmath>

EqResult EraseDefault(size_t sections) {
    EqResult result;
    result.bands.assign(sections, kErasedBand);
    return result;
}

SectionArrays SectionArrays::Identity(size_t count) {
    SectionArrays s;
    s.b0.assign(count, 1.0);
    s.b1.assign(count, 0.0);
    s.b2.assign(count, 0.0);
    s.a0.assign(count, 1.0);
    s.a1.assign(count, 0.0);
    s.a2.assign(count, 0.0);
    return s;
}

EqBand GetBand(const SectionArrays& sections, size_t index) {
    if (index >= sections.size() || index >= sections.b1.size() || index >= sections.b2.size() ||
        index >= sections.a1.size() || index >= sections.a2.size())
        return kIdentityBand;
    const double b0 = sections.b0[index];
    const double b1 = sections.b1[index];
    const double b2 = sections.b2[index];
    const double f = std::max({std::fabs(b0), std::fabs(b1), std::fabs(b2)});
    int32_t shift = 0;
    double g = 2.0;
    // A small numerator is scaled up by a power of two so its largest value lies in (0.5, 1];
    // an all-zero numerator has no such power and keeps the plain scale.
    if (f < 1.0 && f > 0.0) {
        shift = static_cast<int32_t>(std::trunc(-std::log2(f / 2.0)));
        g = std::ldexp(1.0, 1 - shift);
    }
    EqBand band;
    band.kind = 1;
    band.c0 = b2 / g;
    band.c1 = b1 / g;
    band.c2 = b0 / g;
    band.c3 = sections.a2[index] * 0.5;
    band.c4 = sections.a1[index] * 0.5;
    band.shift = shift;
    return band;
}

std::optional<int16_t> ToQ15(double x) {
    if (!(x >= -1.0 && x <= 1.0))
        return std::nullopt;
    const double q = x < 0.0 ? std::trunc(x * 32768.0 - 0.5) : std::trunc(x * 32767.0 + 0.5);
    return static_cast<int16_t>(std::clamp(q, -32768.0, 32767.0));
}

std::optional<int32_t> ToQ31(double x) {
    if (!(x >= -1.0 && x <= 1.0))
        return std::nullopt;
    const double q =
        x < 0.0 ? std::trunc(x * 2147483648.0 - 0.5) : std::trunc(x * 2147483647.0 + 0.5);
    return static_cast<int32_t>(std::clamp(q, -2147483648.0, 2147483647.0));
}
