#pragma once
// The equaliser as the document holds it (band records of second-order sections) and the
// coefficient block that is written into the subwoofer's flash.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// One second-order section in its fixed-point form. Field order is the record order; the
// archive writes kind last.
struct EqBand {
    int32_t kind = 0;
    double c0 = 0.0;  // b2 / g
    double c1 = 0.0;  // b1 / g
    double c2 = 0.5;  // b0 / g
    double c3 = 0.0;  // a2 / 2
    double c4 = 0.0;  // a1 / 2
    int32_t shift = 0;

    friend bool operator==(const EqBand&, const EqBand&) = default;
};

struct EqResult {
    double gain = 0.0;  // dB, a multiple of 0.5; never part of the coefficient block
    int32_t valid = 0;  // 1 after a fit
    std::vector<EqBand> bands;

    friend bool operator==(const EqResult&, const EqResult&) = default;
};

// Section count of every supported model.
inline constexpr size_t kEqSectionCount = 10;

// The record an erased equaliser holds for each section.
inline constexpr EqBand kErasedBand{0, 0.0, 0.0, 0.5, 0.0, 0.0, 0};
// The record for an index beyond the fitted sections: the identity with shift 0.
inline constexpr EqBand kIdentityBand{1, 0.0, 0.0, 0.5, 0.0, 0.0, 0};

// gain 0, valid 0 and `sections` erased records.
EqResult EraseDefault(size_t sections = kEqSectionCount);

// The final coefficients of the fitted cascade, one entry per section, for
// H(z) = (b0 + b1 z^-1 + b2 z^-2) / (a0 + a1 z^-1 + a2 z^-2) with a0 = 1.
struct SectionArrays {
    std::vector<double> b0, b1, b2, a0, a1, a2;

    // `count` identity sections (1, 0, 0, 1, 0, 0).
    static SectionArrays Identity(size_t count);
    size_t size() const { return b0.size(); }
};

// The band record of section `index`: numerator scaled by a power of two into fixed-point range.
EqBand GetBand(const SectionArrays& sections, size_t index);

// Fixed-point conversions; nothing for values outside [-1, 1] or not a number.
std::optional<int16_t> ToQ15(double x);
std::optional<int32_t> ToQ31(double x);

// The sections as the coefficient block holds the bands: every value rounded to its fixed-point
// form and back, the numerator scaled by 2^(1 - shift) with the shift's stored 16 bits. Nothing
// when a value does not convert. The overall gain is not part of them.
std::optional<SectionArrays> StoredSections(const EqResult& result);

// |H| of the cascade at omega radians per sample.
double CascadeMagnitude(const SectionArrays& sections, double omega);

// The block an upload (or, with `erase`, an erase) writes; nothing when a value does not
// convert or the bands do not fit. The overall gain is not part of it.
std::optional<std::vector<uint8_t>> BuildEqBlock(const EqResult& result, bool erase,
                                                 size_t blockSize);
