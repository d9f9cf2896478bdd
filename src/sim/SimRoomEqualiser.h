#pragma once
// The equaliser the simulated subwoofer applies: the coefficient block held in its flash,
// decoded back into second-order sections and evaluated at the equaliser's own rate.

#include <complex>
#include <cstdint>
#include <vector>

namespace Sim {

struct EqSection {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
};

// The sections of a coefficient block; none (a flat equaliser) for an erased block, a block
// whose checksum does not match, or one too short to hold a checksum.
std::vector<EqSection> DecodeEqualiser(const std::vector<std::uint8_t>& block);

// The cascade's response at a frequency, with z = exp(j 2 pi f / rate).
std::complex<double> EqualiserResponse(const std::vector<EqSection>& sections, double frequency,
                                       double rate);

}  // namespace Sim
