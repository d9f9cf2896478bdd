#pragma once
// Impulse response extraction: turns a recording of the repeating test sweep into frequency
// responses, with the signal-to-noise and repeatability checks of a measurement.
//
// Failures are raised with the text the user sees: tsl::wruntime_error for the plain texts,
// tsl::TCodedException (code 0x01 or 0x04) for the longer advisory texts of subwoofer mode.

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "measure/CorrectionParam.h"
#include "measure/Curve.h"
#include "measure/CurveWriter.h"

// The one capture format a measurement accepts: three periods of a 65536-sample sweep at 48 kHz.
inline constexpr int kSweepLength = 65536;
inline constexpr int kSweepRate = 48000;

// The arguments of Smooth.
struct SmoothingSettings {
    double fraction = 6;
    double pointsPerOctave = 25;
    double lowest = 5;
    double highest = 48000;
    int normalise = 1;
};

// Subwoofer mode low-passes the capture this many times before analysis (PeriodicLowPass).
inline constexpr double kSubwooferLowPassHz = 2500.0;
inline constexpr int kSubwooferLowPassPasses = 8;

// The smoothing of a measurement position and of the quick measurement.
inline constexpr SmoothingSettings kMeasurementSmoothing{6, 25, 5, 48000, 1};

// A recording of the repeating sweep, as the capture devices fill it.
struct CaptureBlock {
    std::vector<double> samples;                // one channel; holds at least capturedCount values
    std::int32_t impulseLength = kSweepLength;  // N; becomes N/4 when extraction succeeds
    std::int32_t capturedCount = 0;             // must be 3*N
    std::int32_t sampleRate = kSweepRate;
    // Low-pass the capture before analysis and raise the advisory failure texts.
    bool subwooferMode = false;
};

// What the checks of one measurement found, for display after it passed them.
struct MeasurementChecks {
    double snrDb = 0.0;         // the lower of the two periods' signal-to-noise ratios
    double periodDiffDb = 0.0;  // largest level difference between the two periods where checked
};

struct ImpulseContext {
    std::optional<SmoothingSettings> smoothing;  // none: responses stay on the linear grid
    // Reference spectrum and microphone correction; null: no deconvolution, no correction.
    std::shared_ptr<AudioSampler::CorrectionParam> correction;
    double bandLow = 20;  // analysis band in Hz, for the noise and repeatability checks
    double bandHigh = 350;
    std::shared_ptr<CaptureBlock> capture;
    CCurveWriter* writer = nullptr;       // optional, not owned
    MeasurementChecks* checks = nullptr;  // optional, not owned: receives what the checks found
    // Optional, not owned: receives the first period's impulse before truncation, decimated to
    // the equaliser's rate (Decay::DecimateImpulse), once the checks have passed.
    std::vector<float>* impulse = nullptr;
};

// Two sweep periods of the quick measurement.
struct QuickBlock {
    std::vector<double> samples;                // holds at least capturedCount values
    std::int32_t impulseLength = kSweepLength;  // N; becomes N/4 on success
    std::int32_t capturedCount = 0;             // at least 2*N
    std::int32_t sampleRate = kSweepRate;
    CCurveWriter* writer = nullptr;  // optional, not owned
};

// One period of the exponential test sweep from bin 17 to bin 31569 of an n-point transform, as a
// Time curve. Raises std::invalid_argument for n < 2 or a rate that is not positive.
CurvePtr SweepReference(int n, double sampleRate);

// Circular rotations in place; each returns the left rotation applied, in [0, n). The window is
// limited to 1 .. n; buffers of fewer than one sample are left alone (result 0).
// Moves the middle of the quietest w-sample stretch to the start.
int RotateToQuietest(double* x, int n, int w);
// Moves the loudest w-sample stretch to the start (it begins at index 1).
int RotateToLoudest(double* x, int n, int w);
// As RotateToLoudest, leaving p samples more before the loudest stretch.
int RotateToLoudestWithPreroll(double* x, int n, int w, int p);

// One pass of a first-order low-pass over a buffer treated as periodic.
void PeriodicLowPass(double* x, int n, double sampleRate, double corner);
// One forward pass from rest of a second-order high-pass (damping 1/sqrt 2, unity gain at half
// the sample rate).
void SecondOrderHighPass(double* x, int n, double sampleRate, double corner);

// The responses of the first two sweep periods of the context's capture (8193 points each,
// Cartesian). Changes the capture's samples in place and divides its impulse length by 4.
std::pair<CurvePtr, CurvePtr> ExtractResponses(ImpulseContext& context);

// The checked, corrected and smoothed response of one measurement position.
CurvePtr MeasureResponse(ImpulseContext& context);

// The response of the quick measurement (no checks); null when the rate is not 48000 Hz.
CurvePtr QuickResponse(QuickBlock& block);
