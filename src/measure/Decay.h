#pragma once
// Time and decay of a measured impulse: the impulse of one sweep period kept at the equaliser's
// rate, its energy-time curve and step response, its group delay, its cumulative spectral decay
// and the decay times of its third-octave bands from 20 to 200 Hz.
//
// An impulse here is one period of a circular (periodic) response, as the deconvolution of one
// sweep period gives it: its length is a power of two and it wraps around its end. Every function
// takes such an impulse and raises std::invalid_argument for another length; std::bad_alloc when
// the transform's tables cannot be allocated.

#include <cstddef>
#include <vector>

namespace Decay {

// The stored impulse: one sweep period (65536 samples at 48 kHz) low-passed and decimated by 16.
inline constexpr double kImpulseRate = 3000.0;
inline constexpr int kImpulseLength = 4096;  // 1.365 s
inline constexpr int kImpulseDecimation = 16;

using Signal = std::vector<double>;

// The impulse of one period of n samples (a multiple of kImpulseDecimation, at least one FIR
// length) through a zero-phase low-pass at 1200 Hz (windowed sinc, 385 taps at 48 kHz, applied
// circularly) and kept every 16th sample from the first, scaled so that its spectrum keeps the
// original's level.
std::vector<float> DecimateImpulse(const double* impulse, int n);

// The squared envelope (the squared magnitude of the analytic signal): the energy-time curve.
Signal EnergyTime(const Signal& impulse);
// Energy in dB relative to reference (its peak when reference is not positive), at least
// kFloorDb.
inline constexpr double kFloorDb = -120.0;
Signal EnergyTimeDb(const Signal& energy, double reference = 0.0);

// The running sum of the impulse: its response to a unit step.
Signal StepResponse(const Signal& impulse);

// Element-wise mean of equally long signals (empty for none).
Signal Mean(const std::vector<Signal>& each);

// Values on a logarithmic frequency grid, with the power (mean squared magnitude) of the
// impulse's spectrum over each point's smoothing window.
struct Spectrum {
    std::vector<double> frequencies;  // Hz
    std::vector<double> values;
    std::vector<double> power;
};

// Smoothing of the group delay: the fraction of an octave and the grid of the magnitude's
// smoothing (sixth octave, 25 points per octave), over lowest to highest Hz.
struct DelaySmoothing {
    double fraction = 6;
    double pointsPerOctave = 25;
    double lowest = 10;
    double highest = 1000;
};

// Group delay in seconds from the impulse's phase (Re of the transform of t h(t) over that of
// h), power-weighted over each point's window. The last eighth of the period counts as negative
// time, so a response that starts just before the period does not appear a period late.
Spectrum GroupDelay(const Signal& impulse, double rate, const DelaySmoothing& smoothing = {});
// Power-weighted mean of group delays on the same grid.
Spectrum MeanGroupDelay(const std::vector<Spectrum>& delays);

// Cumulative spectral decay: the power spectrum of the impulse from each start time on, through
// a window of windowSeconds whose first half is flat and whose second half falls as a Hann taper.
struct WaterfallSettings {
    double firstStart = 0.0;
    double lastStart = 0.400;
    double startStep = 0.020;
    double windowSeconds = 0.300;
    int transformLength = 2048;
    double lowest = 10;
    double highest = 250;
};
struct Waterfall {
    double windowSeconds = 0.0;
    std::vector<double> frequencies;         // Hz, the transform's bins in lowest .. highest
    std::vector<double> starts;              // s
    std::vector<std::vector<double>> power;  // per start time, per frequency
};
Waterfall CumulativeSpectralDecay(const Signal& impulse, double rate,
                                  const WaterfallSettings& settings = {});
// Power average of waterfalls made with the same settings.
Waterfall MeanWaterfall(const std::vector<Waterfall>& waterfalls);
// A slice in dB relative to the peak of the first slice (kFloorDb at least).
std::vector<double> SliceDb(const Waterfall& waterfall, size_t slice);

// The squared signal of the impulse in one third-octave band (centre 10^(n/10) Hz): a zero-phase
// Gaussian magnitude, 3 dB down at the band's edges a twentieth of a decade either side, whose own
// response dies away within a few tens of milliseconds at 20 Hz, so that it does not lengthen the
// decay it measures as a band-pass with poles would.
struct BandEnergy {
    double nominalHz = 0.0;  // 20, 25, 31.5 ... 200
    double centreHz = 0.0;
    Signal energy;
};
// The bands from 20 to 200 Hz, in ascending order.
std::vector<BandEnergy> BandEnergies(const Signal& impulse, double rate);
// Element-wise mean of the positions' band energies (the same bands each).
std::vector<BandEnergy> MeanBandEnergies(const std::vector<std::vector<BandEnergy>>& positions);

enum class DecayStatus {
    Measured,   // seconds holds T20
    NoisyBand,  // the band's noise floor is too high for the range T20 needs
    NoDecay,    // the backward integral does not fall from -5 to -25 dB
};
struct BandDecay {
    double nominalHz = 0.0;
    DecayStatus status = DecayStatus::NoDecay;
    double seconds = 0.0;         // T60 extrapolated from -5 to -25 dB (T20)
    double dynamicRangeDb = 0.0;  // the band's peak over its noise floor
};

// The range a band needs over its noise floor for T20: the -25 dB end and 10 dB to spare.
inline constexpr double kMinDynamicRangeDb = 35.0;

// T20 of each band: the noise floor is the mean energy from 70 to 90 % of the period; the
// energy less that floor is integrated backwards from where the band's 10 ms envelope has fallen
// to 5 dB above it, and a line fitted from -5 to -25 dB of the integral extrapolated to -60 dB.
std::vector<BandDecay> DecayTimes(const std::vector<BandEnergy>& bands, double rate);

}  // namespace Decay
