#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "measure/Checksum.h"

namespace {

// Bit-at-a-time CRC-32/MPEG-2 (init 0xFFFFFFFF, poly 0x04C11DB7, no reflection, no final XOR).
std::uint32_t Mpeg2Crc(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t r = 0xFFFFFFFFu;
    for (std::uint8_t byte : bytes) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool in = ((byte >> bit) & 1) != 0;
            const bool top = (r & 0x80000000u) != 0;
            r <<= 1;
            if (in != top) {
                r ^= 0x04C11DB7u;
            }
        }
    }
    return r;
}

std::vector<std::uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

}  // namespace

TEST(BlockChecksum, EmptyBufferIsInitialRegisterXorPolynomial) {
    EXPECT_EQ(BlockChecksum(nullptr, 0), 0xFB3EE248u);
}

TEST(BlockChecksum, CheckStringIsMpeg2ValueXorPolynomial) {
    const auto data = Bytes("123456789");
    // Published CRC-32/MPEG-2 check value, with this checksum's final XOR.
    EXPECT_EQ(BlockChecksum(data.data(), data.size()), 0x0376E6E7u ^ 0x04C11DB7u);
}

TEST(BlockChecksum, AgreesWithBitwiseReferenceOnRandomBlocks) {
    std::mt19937 gen(5);
    for (std::size_t len : {1u, 2u, 3u, 4u, 17u, 256u, 4099u}) {
        std::vector<std::uint8_t> data(len);
        for (auto& b : data) {
            b = static_cast<std::uint8_t>(gen());
        }
        EXPECT_EQ(BlockChecksum(data.data(), data.size()), Mpeg2Crc(data) ^ 0x04C11DB7u) << len;
    }
}

TEST(AppendChecksum, StoresChecksumOfPrefixLittleEndian) {
    auto data = Bytes("123456789");
    data.resize(data.size() + 4, 0xAA);
    ASSERT_TRUE(AppendChecksum(data.data(), data.size()));
    const std::uint32_t expected = 0x07B7FB50u;
    EXPECT_EQ(data[9], expected & 0xFF);
    EXPECT_EQ(data[10], (expected >> 8) & 0xFF);
    EXPECT_EQ(data[11], (expected >> 16) & 0xFF);
    EXPECT_EQ(data[12], expected >> 24);

    std::uint8_t four[4] = {1, 2, 3, 4};
    ASSERT_TRUE(AppendChecksum(four, 4));
    EXPECT_EQ(four[0], 0x48);
    EXPECT_EQ(four[3], 0xFB);
}

TEST(AppendChecksum, RefusesBuffersShorterThanFourBytes) {
    std::uint8_t three[3] = {7, 8, 9};
    EXPECT_FALSE(AppendChecksum(three, 3));
    EXPECT_EQ(three[0], 7);
    EXPECT_FALSE(AppendChecksum(nullptr, 8));
}
