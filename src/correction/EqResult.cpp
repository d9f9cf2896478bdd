#include "correction/EqResult.h"

#include <algorithm>
#include <cmath>
#include <complex>

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

namespace {

double FromQ15(int16_t q) {
    return q < 0 ? q / 32768.0 : q / 32767.0;
}

double FromQ31(int32_t q) {
    return q < 0 ? q / 2147483648.0 : q / 2147483647.0;
}

}  // namespace

std::optional<SectionArrays> StoredSections(const EqResult& result) {
    SectionArrays s = SectionArrays::Identity(result.bands.size());
    for (size_t i = 0; i < result.bands.size(); ++i) {
        const EqBand& band = result.bands[i];
        const auto q0 = ToQ15(band.c0), q1 = ToQ15(band.c1), q2 = ToQ15(band.c2);
        const auto q3 = ToQ31(-band.c3), q4 = ToQ31(-band.c4);
        if (!q0 || !q1 || !q2 || !q3 || !q4)
            return std::nullopt;
        const auto shift = static_cast<int16_t>(static_cast<uint32_t>(band.shift) & 0xFFFF);
        const double g = std::ldexp(1.0, 1 - shift);
        s.b0[i] = FromQ15(*q2) * g;
        s.b1[i] = FromQ15(*q1) * g;
        s.b2[i] = FromQ15(*q0) * g;
        s.a2[i] = -2.0 * FromQ31(*q3);
        s.a1[i] = -2.0 * FromQ31(*q4);
    }
    return s;
}

double CascadeMagnitude(const SectionArrays& sections, double omega) {
    const std::complex<double> z1 = std::polar(1.0, -omega);
    const std::complex<double> z2 = z1 * z1;
    double h = 1.0;
    for (size_t k = 0; k < sections.size(); ++k) {
        const double num = std::abs(sections.b0[k] + sections.b1[k] * z1 + sections.b2[k] * z2);
        const double den = std::abs(sections.a0[k] + sections.a1[k] * z1 + sections.a2[k] * z2);
        h *= den > 0.0 ? num / den : num * 1e40;
    }
    return h;
}
