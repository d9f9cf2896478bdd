#pragma once
// Builds enciphered calibration files for tests and fuzz seeds. Enciphering is not part of the
// program, so it lives here.

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "measure/Checksum.h"
#include "measure/Xtea.h"

namespace testcal {

struct Point {
    double frequency, re, im;
};

inline void PutWord(std::vector<uint8_t>& b, size_t at, uint32_t w) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(w >> (8 * i));
}

inline uint32_t GetWord(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

inline void PutDouble(std::vector<uint8_t>& b, size_t at, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    PutWord(b, at, static_cast<uint32_t>(bits));
    PutWord(b, at + 4, static_cast<uint32_t>(bits >> 32));
}

// Standard XTEA encipherment, 32 cycles.
inline void EncipherBlock(uint32_t& y, uint32_t& z, const Security::XteaKey& key) {
    uint32_t sum = 0;
    for (int i = 0; i < 32; ++i) {
        y += (((z << 4) ^ (z >> 5)) + z) ^ (sum + key[sum & 3]);
        sum += 0x9E3779B9u;
        z += (((y << 4) ^ (y >> 5)) + y) ^ (sum + key[(sum >> 11) & 3]);
    }
}

// The plain layout: version, length, count, three columns, unit and mic serial, filler, and
// a zero checksum.
inline std::vector<uint8_t> PlainFile(uint32_t version, uint32_t unit, uint32_t mic,
                                      const std::vector<Point>& points) {
    const size_t e = points.size();
    std::vector<uint8_t> b(28 + 24 * e, 0);
    PutWord(b, 0, version);
    PutWord(b, 4, static_cast<uint32_t>(b.size()));
    PutWord(b, 8, static_cast<uint32_t>(e));
    for (size_t i = 0; i < e; ++i) {
        PutDouble(b, 12 + 8 * i, points[i].frequency);
        PutDouble(b, 12 + 8 * e + 8 * i, points[i].re);
        PutDouble(b, 12 + 16 * e + 8 * i, points[i].im);
    }
    PutWord(b, 12 + 24 * e, unit);
    PutWord(b, 16 + 24 * e, mic);
    PutWord(b, 20 + 24 * e, 0xA5A5A5A5u);
    return b;
}

// Enciphers bytes 8 .. size - 5 with the serials' key and stores the checksum.
inline void Seal(std::vector<uint8_t>& b, uint32_t unit, uint32_t mic) {
    const auto key = Security::DeriveKey(unit, mic);
    for (size_t at = 8; at + 8 <= b.size() - 4; at += 8) {
        uint32_t y = GetWord(b, at), z = GetWord(b, at + 4);
        EncipherBlock(y, z, key);
        PutWord(b, at, y);
        PutWord(b, at + 4, z);
    }
    AppendChecksum(b.data(), b.size());
}

inline std::vector<uint8_t> BuildFile(uint32_t version, uint32_t unit, uint32_t mic,
                                      const std::vector<Point>& points) {
    auto b = PlainFile(version, unit, mic, points);
    Seal(b, unit, mic);
    return b;
}

inline std::vector<Point> SamplePoints() {
    return {{20.0, 1.0, 0.0}, {100.0, 0.9, 0.1}, {1000.0, 1.1, -0.2}, {10000.0, 0.5, 0.5}};
}

}  // namespace testcal
