#pragma once
// Impulse responses recorded by other programs, turned into responses as a measurement position
// reports them: the same window after the loudest stretch, the same level and the same smoothing.

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

// The smoothed response of the impulse, on the log grid a measurement at its rate gives. Raises
// tsl::wruntime_error (the reason, without a file name) for a rate or a length out of the
// bounds above, samples that are not finite, or a silent impulse.
CurvePtr ImportedImpulseResponse(const ImpulseSamples& impulse);
