#include "measure/Xtea.h"

namespace Security {

namespace {

constexpr uint32_t kDelta = 0x9E3779B9u;
constexpr uint32_t kPolynomial = 0x04C11DB7u;
constexpr int kCycles = 32;

// The entry of the block checksum table for one byte value.
uint32_t ChecksumTableEntry(uint8_t value) {
    uint32_t v = static_cast<uint32_t>(value) << 24;
    for (int bit = 0; bit < 8; ++bit)
        v = (v & 0x80000000u) ? (v << 1) ^ kPolynomial : v << 1;
    return v;
}

uint32_t LoadWord(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void StoreWord(uint8_t* p, uint32_t w) {
    p[0] = static_cast<uint8_t>(w);
    p[1] = static_cast<uint8_t>(w >> 8);
    p[2] = static_cast<uint8_t>(w >> 16);
    p[3] = static_cast<uint8_t>(w >> 24);
}

}  // namespace

XteaKey DeriveKey(uint32_t unitSerial, uint32_t micSerial) {
    std::array<uint16_t, 4> h{
        static_cast<uint16_t>(unitSerial & 0xFFFF), static_cast<uint16_t>(unitSerial >> 16),
        static_cast<uint16_t>(micSerial & 0xFFFF), static_cast<uint16_t>(micSerial >> 16)};
    for (size_t i = 1; i < h.size(); ++i) {
        bool repeated = true;
        while (repeated) {
            repeated = false;
            for (size_t j = 0; j < i; ++j)
                repeated = repeated || h[i] == h[j];
            if (repeated)
                h[i] = static_cast<uint16_t>(h[i] + 1);
        }
    }
    XteaKey key{};
    for (size_t i = 0; i < key.size(); ++i)
        key[i] = ChecksumTableEntry(static_cast<uint8_t>(h[i] & 0xFF));
    return key;
}

void DecipherBlock(uint32_t& y, uint32_t& z, const XteaKey& key) {
    uint32_t sum = kDelta * static_cast<uint32_t>(kCycles);
    for (int i = 0; i < kCycles; ++i) {
        z -= (((y << 4) ^ (y >> 5)) + y) ^ (sum + key[(sum >> 11) & 3]);
        sum -= kDelta;
        y -= (((z << 4) ^ (z >> 5)) + z) ^ (sum + key[sum & 3]);
    }
}

void DecipherBytes(uint8_t* bytes, size_t length, const XteaKey& key) {
    for (size_t at = 0; at + 8 <= length; at += 8) {
        uint32_t y = LoadWord(bytes + at);
        uint32_t z = LoadWord(bytes + at + 4);
        DecipherBlock(y, z, key);
        StoreWord(bytes + at, y);
        StoreWord(bytes + at + 4, z);
    }
}

}  // namespace Security
