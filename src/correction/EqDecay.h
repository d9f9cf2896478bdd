#pragma once
// The equaliser in time: its group delay from its sections, and a stored impulse run through it,
// both at the equaliser's rate (the rate of the stored impulses).

#include <complex>
#include <vector>

#include "correction/EqResult.h"
#include "measure/Decay.h"

// H of the cascade at omega radians per sample.
std::complex<double> CascadeResponse(const SectionArrays& sections, double omega);

// Group delay of the cascade in samples at omega: per section, that of its numerator less that
// of its denominator.
double CascadeGroupDelay(const SectionArrays& sections, double omega);

// The cascade's group delay in seconds at each frequency (Hz), the sections running at rate.
std::vector<double> EqualiserGroupDelay(const SectionArrays& sections, double rate,
                                        const std::vector<double>& frequencies);

// A circular impulse at the sections' rate through the sections and a linear gain: its spectrum
// times the cascade's response at each bin (what a periodic sweep measures through them).
Decay::Signal EqualisedImpulse(const Decay::Signal& impulse, const SectionArrays& sections,
                               double gain);
