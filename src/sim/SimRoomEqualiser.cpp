#include "sim/SimRoomEqualiser.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "measure/Checksum.h"

namespace Sim {

namespace {

constexpr std::size_t kBandBytes = 16;
constexpr std::size_t kMaxSections = 10;

std::uint16_t Word(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

double FromQ15(std::int16_t q) {
    return q < 0 ? q / 32768.0 : q / 32767.0;
}

// High word first, each word little-endian.
double FromSplitQ31(const std::uint8_t* at) {
    const std::uint32_t bits = static_cast<std::uint32_t>(Word(at)) << 16 | Word(at + 2);
    const auto q = static_cast<std::int32_t>(bits);
    return q < 0 ? q / 2147483648.0 : q / 2147483647.0;
}

}  // namespace

std::vector<Biquad> DecodeEqualiser(const std::vector<std::uint8_t>& block) {
    std::vector<Biquad> sections;
    if (block.size() < 4 + kBandBytes)
        return sections;
    const std::size_t body = block.size() - 4;
    const std::uint32_t stored = static_cast<std::uint32_t>(block[body]) |
                                 static_cast<std::uint32_t>(block[body + 1]) << 8 |
                                 static_cast<std::uint32_t>(block[body + 2]) << 16 |
                                 static_cast<std::uint32_t>(block[body + 3]) << 24;
    if (BlockChecksum(block.data(), body) != stored)
        return sections;
    for (std::size_t at = 0; at + kBandBytes <= body && sections.size() < kMaxSections;
         at += kBandBytes) {
        const std::uint8_t* band = block.data() + at;
        if (std::all_of(band, band + kBandBytes, [](std::uint8_t b) { return b == 0xFF; }))
            break;
        const double c0 = FromQ15(static_cast<std::int16_t>(Word(band)));
        const double c1 = FromQ15(static_cast<std::int16_t>(Word(band + 2)));
        const double c2 = FromQ15(static_cast<std::int16_t>(Word(band + 4)));
        const int shift = std::clamp<int>(static_cast<std::int16_t>(Word(band + 6)), 0, 30);
        const double c3 = -FromSplitQ31(band + 8);
        const double c4 = -FromSplitQ31(band + 12);
        const double g = std::ldexp(1.0, 1 - shift);
        sections.push_back({c2 * g, c1 * g, c0 * g, 2.0 * c4, 2.0 * c3});
    }
    return sections;
}

std::complex<double> EqualiserResponse(const std::vector<Biquad>& sections, double frequency,
                                       double rate) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * frequency / rate);
    const std::complex<double> z2 = z1 * z1;
    std::complex<double> h(1.0, 0.0);
    for (const Biquad& s : sections) {
        const std::complex<double> den = 1.0 + s.a1 * z1 + s.a2 * z2;
        if (std::abs(den) > 1e-300)
            h *= (s.b0 + s.b1 * z1 + s.b2 * z2) / den;
    }
    return h;
}

}  // namespace Sim
