#include "measure/Checksum.h"

#include <array>

namespace {

constexpr std::uint32_t kPolynomial = 0x04C11DB7;

constexpr std::array<std::uint32_t, 256> MakeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t v = 0; v < 256; ++v) {
        std::uint32_t r = v << 24;
        for (int bit = 0; bit < 8; ++bit) {
            r = (r & 0x80000000u) ? (r << 1) ^ kPolynomial : r << 1;
        }
        table[v] = r;
    }
    return table;
}

// Built at compile time, so no thread can see it half-built.
constexpr std::array<std::uint32_t, 256> kTable = MakeTable();

}  // namespace

std::uint32_t BlockChecksum(const std::uint8_t* bytes, std::size_t length) {
    std::uint32_t r = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < length; ++i) {
        r = (r << 8) ^ kTable[((r >> 24) ^ bytes[i]) & 0xFF];
    }
    return r ^ kPolynomial;
}

bool AppendChecksum(std::uint8_t* buffer, std::size_t length) {
    if (buffer == nullptr || length < 4) {
        return false;
    }
    const std::uint32_t sum = BlockChecksum(buffer, length - 4);
    for (int i = 0; i < 4; ++i) {
        buffer[length - 4 + i] = static_cast<std::uint8_t>(sum >> (8 * i));
    }
    return true;
}
