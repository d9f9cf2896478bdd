#pragma once
// The equaliser the simulated subwoofer applies: the coefficient block held in its flash,
// decoded back into second-order sections and evaluated at the equaliser's own rate.

#include <complex>
#include <cstdint>
#include <vector>

#include "measure/Biquad.h"

namespace Sim {

// The sections of a coefficient block; none (a flat equaliser) for an erased block, a block
// whose checksum does not match, or one too short to hold a checksum.
std::vector<Biquad> DecodeEqualiser(const std::vector<std::uint8_t>& block);

// The cascade's response at a frequency, with z = exp(j 2 pi f / rate).
std::complex<double> EqualiserResponse(const std::vector<Biquad>& sections, double frequency,
                                       double rate);

}  // namespace Sim
