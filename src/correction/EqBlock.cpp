#include <cstring>

#include "correction/EqResult.h"
#include "measure/Checksum.h"

namespace {

constexpr size_t kBandBytes = 16;
constexpr size_t kChecksumBytes = 4;

void PutWord(uint8_t* at, uint16_t word) {
    at[0] = static_cast<uint8_t>(word & 0xFF);
    at[1] = static_cast<uint8_t>(word >> 8);
}

// Feedback values go out negated as Q31, high word first, each word little-endian.
void PutSplitQ31(uint8_t* at, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    PutWord(at, static_cast<uint16_t>(bits >> 16));
    PutWord(at + 2, static_cast<uint16_t>(bits & 0xFFFF));
}

bool PutBand(uint8_t* at, const EqBand& band) {
    const auto q0 = ToQ15(band.c0);
    const auto q1 = ToQ15(band.c1);
    const auto q2 = ToQ15(band.c2);
    const auto q3 = ToQ31(-band.c3);
    const auto q4 = ToQ31(-band.c4);
    if (!q0 || !q1 || !q2 || !q3 || !q4)
        return false;
    PutWord(at + 0, static_cast<uint16_t>(*q0));
    PutWord(at + 2, static_cast<uint16_t>(*q1));
    PutWord(at + 4, static_cast<uint16_t>(*q2));
    PutWord(at + 6, static_cast<uint16_t>(static_cast<uint32_t>(band.shift) & 0xFFFF));
    PutSplitQ31(at + 8, *q3);
    PutSplitQ31(at + 12, *q4);
    return true;
}

}  // namespace

std::optional<std::vector<uint8_t>> BuildEqBlock(const EqResult& result, bool erase,
                                                 size_t blockSize) {
    std::vector<uint8_t> block(blockSize, 0xFF);
    if (erase)
        return block;
    // The bands must leave room for the checksum, or it would overwrite the last band.
    if (blockSize < kChecksumBytes || result.bands.size() * kBandBytes > blockSize - kChecksumBytes)
        return std::nullopt;
    size_t offset = 0;
    for (const EqBand& band : result.bands) {
        if (!PutBand(block.data() + offset, band))
            return std::nullopt;
        offset += kBandBytes;
    }
    if (!AppendChecksum(block.data(), block.size()))
        return std::nullopt;
    return block;
}
