#pragma once
// Impulse responses recorded by other programs, turned into responses as a measurement position
// reports them: at the measurement's rate, the same window from the loudest stretch on, the
// capture's low-pass, the same level and, as after a calibration file's correction, the same
// grid and smoothing.

#include <cstdint>
#include <vector>

#include "measure/Curve.h"

// What an imported impulse may be: rates a subwoofer's band fits in, and at most this many
// samples (refused before they are read).
inline constexpr int kMinImpulseRate = 8000;
inline constexpr int kMaxImpulseRate = 768000;
inline constexpr std::int64_t kMaxImpulseFrames = std::int64_t{1} << 22;

// One channel of a sound file.
struct ImpulseSamples {
    int sampleRate = 0;
    std::vector<double> samples;
};

// The smoothed response of the impulse (25 points per octave from 5 Hz to the top of its band,
// 24 kHz at 48 kHz), in full-scale units as a measurement's capture is. Raises
// tsl::wruntime_error (the reason, without a file name) for a rate or a length out of the
// bounds above, samples that are not finite, or a silent impulse.
CurvePtr ImportedImpulseResponse(const ImpulseSamples& impulse);
