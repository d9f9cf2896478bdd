#pragma once
// Sizes from which an element-wise loop over curve points is split over the OpenMP workers.
// Below them the loop runs on the calling thread: starting a parallel region (and waking workers
// that wait passively) costs tens of microseconds, more than a short loop saves. Used as
//   #pragma omp parallel for schedule(static) if (n >= parallel::kMinArithmetic)

namespace parallel {

// Loops of a few arithmetic operations per point.
inline constexpr int kMinArithmetic = 1 << 17;
// Loops with a transcendental function (sin, cos, atan2, hypot, pow, log, fmod) per point.
inline constexpr int kMinTranscendental = 1 << 13;
// Loops whose every iteration is a whole equaliser fit: worth splitting from two.
inline constexpr int kMinFits = 2;

}  // namespace parallel
