#pragma once
// The complex FFT over two separate arrays (real parts, imaginary parts).

namespace fft {
inline constexpr int kForward = 0;
inline constexpr int kInverse = -1;
}  // namespace fft

// In-place complex transform of n points. Forward (direction 0) is unscaled; inverse
// (direction -1) is scaled by 1/n. Returns 0 on success, -1 when n is not a power of two greater
// than 1, the direction is neither of the two or an array is missing (nothing changes), 1 when
// the twiddle table cannot be allocated. Safe to call from several threads at once on different
// arrays.
int TransformInPlace(int direction, int n, double* re, double* im);
