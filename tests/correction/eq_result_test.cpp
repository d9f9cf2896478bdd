// Band records, fixed-point conversion and the coefficient block.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "correction/EqResult.h"

namespace {

// Bitwise MSB-first CRC over 0x04C11DB7, register 0xFFFFFFFF, final XOR with the polynomial.
uint32_t ReferenceChecksum(const uint8_t* p, size_t n) {
    uint32_t reg = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        reg ^= static_cast<uint32_t>(p[i]) << 24;
        for (int b = 0; b < 8; ++b)
            reg = (reg & 0x80000000u) ? (reg << 1) ^ 0x04C11DB7u : reg << 1;
    }
    return reg ^ 0x04C11DB7u;
}

SectionArrays OneSection(double b0, double b1, double b2, double a1, double a2) {
    SectionArrays s = SectionArrays::Identity(1);
    s.b0[0] = b0;
    s.b1[0] = b1;
    s.b2[0] = b2;
    s.a1[0] = a1;
    s.a2[0] = a2;
    return s;
}

}  // namespace

TEST(EqFixedPoint, NegativeScaleByTwoTo15PositiveByTwoTo15MinusOne) {
    EXPECT_EQ(ToQ15(0.27), 8847);
    EXPECT_EQ(ToQ15(-0.55), -18022);
    EXPECT_EQ(ToQ15(0.3), 9830);
    EXPECT_EQ(ToQ15(0.5), 16384);
    EXPECT_EQ(ToQ15(-1.0), -32768);
    EXPECT_EQ(ToQ15(1.0), 32767);
    EXPECT_EQ(ToQ15(0.0), 0);
    EXPECT_EQ(ToQ31(1.0), 2147483647);
    EXPECT_EQ(ToQ31(-1.0), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ToQ31(-0.455), -977105060);
    EXPECT_EQ(ToQ31(0.95), 2040109465);
}

TEST(EqFixedPoint, OutOfRangeAndNanDoNotConvert) {
    for (double x :
         {1.0000001, -1.0000001, 2.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        EXPECT_FALSE(ToQ15(x)) << x;
        EXPECT_FALSE(ToQ31(x)) << x;
    }
}

TEST(EqBands, NumeratorIsScaledByAPowerOfTwo) {
    const EqBand band = GetBand(OneSection(0.3, -0.55, 0.27, -1.9, 0.91), 0);
    EXPECT_EQ(band.kind, 1);
    EXPECT_EQ(band.shift, 1);  // f = 0.55: l = 1, g = 1
    EXPECT_DOUBLE_EQ(band.c0, 0.27);
    EXPECT_DOUBLE_EQ(band.c1, -0.55);
    EXPECT_DOUBLE_EQ(band.c2, 0.3);
    EXPECT_DOUBLE_EQ(band.c3, 0.455);
    EXPECT_DOUBLE_EQ(band.c4, -0.95);

    const EqBand small = GetBand(OneSection(0.3, 0.1, 0.0, 0.0, 0.0), 0);
    EXPECT_EQ(small.shift, 2);  // f = 0.3: l = 2, g = 0.5, largest 0.6
    EXPECT_DOUBLE_EQ(small.c2, 0.6);

    const EqBand identity = GetBand(SectionArrays::Identity(3), 2);
    EXPECT_EQ(identity.shift, 0);  // f = 1: l = 0, g = 2
    EXPECT_DOUBLE_EQ(identity.c2, 0.5);
    EXPECT_EQ(ToQ15(identity.c2), 16384);

    const EqBand big = GetBand(OneSection(1.8, -2.0, 0.4, 0.0, 0.0), 0);
    EXPECT_EQ(big.shift, 0);
    EXPECT_DOUBLE_EQ(big.c1, -1.0);
}

TEST(EqBands, IndexBeyondTheSectionsIsTheIdentityAndZeroNumeratorIsSafe) {
    EXPECT_EQ(GetBand(SectionArrays::Identity(10), 10), (EqBand{1, 0, 0, 0.5, 0, 0, 0}));
    const EqBand zero = GetBand(OneSection(0.0, 0.0, 0.0, 0.1, 0.2), 0);
    EXPECT_EQ(zero.shift, 0);
    EXPECT_EQ(zero.c2, 0.0);
}

TEST(EqResultDefaults, EraseDefaultHasErasedRecords) {
    const EqResult erased = EraseDefault();
    EXPECT_EQ(erased.gain, 0.0);
    EXPECT_EQ(erased.valid, 0);
    ASSERT_EQ(erased.bands.size(), 10u);
    for (const EqBand& b : erased.bands)
        EXPECT_EQ(b, (EqBand{0, 0, 0, 0.5, 0, 0, 0}));
    EXPECT_EQ(EraseDefault(4).bands.size(), 4u);
}

TEST(EqBlock, EraseIsAllOnes) {
    EqResult fitted = EraseDefault();
    fitted.bands[0] = GetBand(OneSection(0.3, -0.55, 0.27, -1.9, 0.91), 0);
    for (size_t size : {224u, 512u}) {
        const auto block = BuildEqBlock(fitted, true, size);
        ASSERT_TRUE(block);
        ASSERT_EQ(block->size(), size);
        for (uint8_t b : *block)
            EXPECT_EQ(b, 0xFF);
    }
}

TEST(EqBlock, BandWordsAreLaidOutByteForByte) {
    EqResult result;
    result.gain = -3.5;  // never part of the block
    result.valid = 1;
    result.bands.push_back(GetBand(OneSection(0.3, -0.55, 0.27, -1.9, 0.91), 0));
    result.bands.push_back(GetBand(SectionArrays::Identity(1), 0));
    const auto block = BuildEqBlock(result, false, 224);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->size(), 224u);
    const std::vector<uint8_t> first(block->begin(), block->begin() + 32);
    const std::vector<uint8_t> expected{
        0x8F, 0x22, 0x9A, 0xB9, 0x66, 0x26, 0x01, 0x00,  // 8847, -18022, 9830, shift 1
        0xC2, 0xC5, 0x5C, 0x8F,                          // Q31(-0.455) = 0xC5C28F5C
        0x99, 0x79, 0x99, 0x99,                          // Q31(+0.95) = 0x79999999
        0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00,  // identity: 0, 0, 16384, shift 0
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(first, expected);
    for (size_t i = 32; i < 220; ++i)
        EXPECT_EQ((*block)[i], 0xFF) << i;
    const uint32_t sum = ReferenceChecksum(block->data(), 220);
    EXPECT_EQ((*block)[220], sum & 0xFF);
    EXPECT_EQ((*block)[221], (sum >> 8) & 0xFF);
    EXPECT_EQ((*block)[222], (sum >> 16) & 0xFF);
    EXPECT_EQ((*block)[223], sum >> 24);
}

TEST(EqBlock, TenBandsFitBothBlockSizes) {
    EqResult result = EraseDefault();
    result.valid = 1;
    const SectionArrays s = SectionArrays::Identity(10);
    for (size_t i = 0; i < 10; ++i)
        result.bands[i] = GetBand(s, i);
    for (size_t size : {224u, 512u}) {
        const auto block = BuildEqBlock(result, false, size);
        ASSERT_TRUE(block);
        EXPECT_EQ((*block)[160], 0xFF);
        const uint32_t sum = ReferenceChecksum(block->data(), size - 4);
        EXPECT_EQ((*block)[size - 4], sum & 0xFF);
    }
}

TEST(EqBlock, ConversionErrorsAndOverflowFail) {
    EqResult bad = EraseDefault(1);
    bad.bands[0].c1 = 1.5;
    EXPECT_FALSE(BuildEqBlock(bad, false, 224));
    bad.bands[0].c1 = 0.0;
    bad.bands[0].c4 = std::nan("");
    EXPECT_FALSE(BuildEqBlock(bad, false, 224));
    EXPECT_TRUE(BuildEqBlock(bad, true, 224));  // erasing ignores the bands

    // 14 bands fill 224 bytes and would leave no room for the checksum.
    EXPECT_FALSE(BuildEqBlock(EraseDefault(14), false, 224));
    EXPECT_TRUE(BuildEqBlock(EraseDefault(13), false, 224));
    EXPECT_FALSE(BuildEqBlock(EraseDefault(0), false, 3));
}
