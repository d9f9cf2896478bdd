#pragma once
// The second-order sections and the Butterworth magnitude the target curves are made of.

#include "measure/Biquad.h"
#include "measure/Curve.h"

enum class BiquadKind { HighPass, LowPass };

// The analogue section (natural frequency f0, quality q) with its poles mapped by z = e^(sT)
// and a double zero at 0 Hz (high-pass) or at half the sample rate (low-pass): a monic section
// (b0 = 1), not normalised.
Biquad DesignSecondOrder(BiquadKind kind, double f0, double q, double sampleRate);

// |H| at frequency f of the section running at sampleRate.
double BiquadMagnitude(const Biquad& h, double f, double sampleRate);

// Writes H(f) of every axis point into the curve (Cartesian).
void BiquadResponse(const Biquad& h, double sampleRate, CCurve& curve);

// Level -10 log10(1 + (fc/f)^(2n)) dB and phase 0 at every point (DbPhase); a 0 Hz point gets
// zero magnitude.
void ButterworthHighPassDb(double fc, int order, CCurve& curve);
