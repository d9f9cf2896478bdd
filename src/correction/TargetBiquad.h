#pragma once
// The second-order sections and the Butterworth magnitude the target curves are made of.

#include "measure/Curve.h"

// A monic digital biquad: H(z) = (1 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2).
struct BiquadCoeffs {
    double b1 = 0.0;
    double b2 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
    double sampleRate = 48000.0;
};

enum class BiquadKind { HighPass, LowPass };

// The analogue section (natural frequency f0, quality q) with its poles mapped by z = e^(sT)
// and a double zero at 0 Hz (high-pass) or at half the sample rate (low-pass). Not normalised.
BiquadCoeffs DesignSecondOrder(BiquadKind kind, double f0, double q, double sampleRate);

// |H| at frequency f.
double BiquadMagnitude(const BiquadCoeffs& h, double f);

// Writes H(f) of every axis point into the curve (Cartesian).
void BiquadResponse(const BiquadCoeffs& h, CCurve& curve);

// Level -10 log10(1 + (fc/f)^(2n)) dB and phase 0 at every point (DbPhase); a 0 Hz point gets
// zero magnitude.
void ButterworthHighPassDb(double fc, int order, CCurve& curve);
