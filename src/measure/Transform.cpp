// Split-radix complex FFT on separate real and imaginary arrays: decimation in frequency down to
// radix-2 leaves, giving bit-reversed output that a final permutation puts in order.

#include "measure/Transform.h"
#include "measure/ParallelLoops.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <numbers>
#include <utility>
#include <vector>

namespace {

// Twiddle factors for every transform size up to size. The quarter-wave sine table
// sin(2*pi*j/size), j = 0 .. size/4, is the source; from it each sub-transform size s gets its
// own contiguous rows cos(2*pi*k/s), sin(2*pi*k/s), cos(6*pi*k/s), sin(6*pi*k/s), k < s/4, so the
// butterfly loops read memory in order. A table is never changed once published.
class TwiddleTable {
public:
    explicit TwiddleTable(int size) : size_(size), quarter_(size / 4 + 1), rows_(2 * size) {
        const int q = size / 4;
        double* sine = quarter_.data();
#pragma omp parallel for schedule(static) if (q >= parallel::kMinTranscendental)
        for (int j = 0; j <= q; ++j) {
            sine[j] = std::sin(2.0 * std::numbers::pi * j / size);
        }
        if (size < 4) {
            return;
        }
        // The largest size first, read from the quarter wave by symmetry.
        double* top = rows_.data() + Base(size);
#pragma omp parallel for schedule(static) if (q >= parallel::kMinArithmetic)
        for (int k = 0; k < q; ++k) {
            top[k] = Cos(k);
            top[q + k] = Sin(k);
            top[2 * q + k] = Cos(3 * k);
            top[3 * q + k] = Sin(3 * k);
        }
        // Smaller sizes take every (size / s)-th entry.
        for (int s = size / 2; s >= 4; s /= 2) {
            const int qs = s / 4;
            const int stride = size / s;
            double* row = rows_.data() + Base(s);
#pragma omp parallel for schedule(static) if (qs >= parallel::kMinArithmetic)
            for (int k = 0; k < qs; ++k) {
                for (int part = 0; part < 4; ++part) {
                    row[part * qs + k] = top[part * q + k * stride];
                }
            }
        }
    }

    int Size() const noexcept {
        return size_;
    }
    // Rows for sub-transform size s (4 <= s <= Size()).
    const double* Rows(int s) const noexcept {
        return rows_.data() + Base(s);
    }

private:
    std::size_t Base(int s) const noexcept {
        return 2 * static_cast<std::size_t>(size_ - s);
    }

    // sin(2*pi*j/size) for 0 <= j < size from the quarter wave.
    double Sin(int j) const noexcept {
        const int q = size_ / 4;
        if (j <= q)
            return quarter_[j];
        if (j <= 2 * q)
            return quarter_[2 * q - j];
        if (j <= 3 * q)
            return -quarter_[j - 2 * q];
        return -quarter_[4 * q - j];
    }
    // The cosine is the sine a quarter period later.
    double Cos(int j) const noexcept {
        return Sin((j + size_ / 4) % size_);
    }

    int size_;
    std::vector<double> quarter_;
    std::vector<double> rows_;
};

std::mutex gTableMutex;
std::shared_ptr<const TwiddleTable> gTable;

// The published table if it is large enough, otherwise a larger one built under the lock.
// Callers keep their reference for the whole transform, so a later growth never pulls a table
// from under a running transform.
std::shared_ptr<const TwiddleTable> AcquireTable(int n) {
    std::lock_guard<std::mutex> lock(gTableMutex);
    if (gTable && gTable->Size() >= n) {
        return gTable;
    }
    try {
        gTable = std::make_shared<const TwiddleTable>(n);
    } catch (const std::bad_alloc&) {
        gTable.reset();
    }
    return gTable;
}

// Leaves of the recursion. Outputs stay in bit-reversed order.
inline void Radix2(double* re, double* im) {
    const double ar = re[0], ai = im[0];
    re[0] = ar + re[1];
    im[0] = ai + im[1];
    re[1] = ar - re[1];
    im[1] = ai - im[1];
}

inline void Fft4(double* re, double* im) {
    const double t1r = re[0] - re[2], t1i = im[0] - im[2];
    const double t2r = re[1] - re[3], t2i = im[1] - im[3];
    const double s0r = re[0] + re[2], s0i = im[0] + im[2];
    const double s1r = re[1] + re[3], s1i = im[1] + im[3];
    re[0] = s0r + s1r;
    im[0] = s0i + s1i;
    re[1] = s0r - s1r;
    im[1] = s0i - s1i;
    re[2] = t1r + t2i;
    im[2] = t1i - t2r;
    re[3] = t1r - t2i;
    im[3] = t1i + t2r;
}

inline void Fft8(double* re, double* im) {
    constexpr double h = std::numbers::sqrt2 / 2.0;
    // k = 0: unit twiddles.
    {
        const double ar = re[0], ai = im[0], br = re[2], bi = im[2];
        const double cr = re[4], ci = im[4], dr = re[6], di = im[6];
        re[0] = ar + cr;
        im[0] = ai + ci;
        re[2] = br + dr;
        im[2] = bi + di;
        const double t1r = ar - cr, t1i = ai - ci, t2r = br - dr, t2i = bi - di;
        re[4] = t1r + t2i;
        im[4] = t1i - t2r;
        re[6] = t1r - t2i;
        im[6] = t1i + t2r;
    }
    // k = 1: w = e^(-i pi/4), w^3 = e^(-3i pi/4).
    {
        const double ar = re[1], ai = im[1], br = re[3], bi = im[3];
        const double cr = re[5], ci = im[5], dr = re[7], di = im[7];
        re[1] = ar + cr;
        im[1] = ai + ci;
        re[3] = br + dr;
        im[3] = bi + di;
        const double t1r = ar - cr, t1i = ai - ci, t2r = br - dr, t2i = bi - di;
        const double ur = t1r + t2i, ui = t1i - t2r;
        const double vr = t1r - t2i, vi = t1i + t2r;
        re[5] = h * (ur + ui);
        im[5] = h * (ui - ur);
        re[7] = h * (vi - vr);
        im[7] = -h * (vr + vi);
    }
    Fft4(re, im);
    Radix2(re + 4, im + 4);
    Radix2(re + 6, im + 6);
}

// One split-radix L-butterfly pass over a block of n points (n >= 16).
__attribute__((always_inline)) inline void LButterfliesBody(double* __restrict re,
                                                            double* __restrict im, int n,
                                                            const double* __restrict rows) {
    const int q = n / 4;
    double* __restrict r0 = re;
    double* __restrict r1 = re + q;
    double* __restrict r2 = re + 2 * q;
    double* __restrict r3 = re + 3 * q;
    double* __restrict i0 = im;
    double* __restrict i1 = im + q;
    double* __restrict i2 = im + 2 * q;
    double* __restrict i3 = im + 3 * q;
    const double* __restrict c1 = rows;
    const double* __restrict s1 = rows + q;
    const double* __restrict c3 = rows + 2 * q;
    const double* __restrict s3 = rows + 3 * q;
#pragma omp simd
    for (int k = 0; k < q; ++k) {
        const double ar = r0[k], ai = i0[k], br = r1[k], bi = i1[k];
        const double cr = r2[k], ci = i2[k], dr = r3[k], di = i3[k];
        r0[k] = ar + cr;
        i0[k] = ai + ci;
        r1[k] = br + dr;
        i1[k] = bi + di;
        const double t1r = ar - cr, t1i = ai - ci, t2r = br - dr, t2i = bi - di;
        const double ur = t1r + t2i, ui = t1i - t2r;
        const double vr = t1r - t2i, vi = t1i + t2r;
        r2[k] = ur * c1[k] + ui * s1[k];
        i2[k] = ui * c1[k] - ur * s1[k];
        r3[k] = vr * c3[k] + vi * s3[k];
        i3[k] = vi * c3[k] - vr * s3[k];
    }
}

using ButterflyPass = void (*)(double*, double*, int, const double*);

void LButterflies(double* re, double* im, int n, const double* rows) {
    LButterfliesBody(re, im, n, rows);
}

// The same pass compiled for AVX2 with FMA. Chosen at run time by a plain CPU check rather than
// an ifunc, whose resolver runs before sanitizer runtimes are ready.
__attribute__((target("avx2,fma"))) void LButterfliesAvx2(double* re, double* im, int n,
                                                          const double* rows) {
    LButterfliesBody(re, im, n, rows);
}

ButterflyPass SelectButterflies() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
        return LButterfliesAvx2;
    }
    return LButterflies;
}

void SplitRadix(double* re, double* im, int n, const TwiddleTable& table, ButterflyPass pass) {
    if (n == 8) {
        Fft8(re, im);
        return;
    }
    if (n == 4) {
        Fft4(re, im);
        return;
    }
    if (n == 2) {
        Radix2(re, im);
        return;
    }
    if (n < 2) {
        return;
    }
    pass(re, im, n, table.Rows(n));
    const int q = n / 4;
    SplitRadix(re, im, 2 * q, table, pass);
    SplitRadix(re + 2 * q, im + 2 * q, q, table, pass);
    SplitRadix(re + 3 * q, im + 3 * q, q, table, pass);
}

// Bit-reversal permutation of n = 2^bits points by tiles: an index is (high, middle, low) with
// kTileBits high and low bits, so its reversal is (rev low, rev middle, rev high). Each pass
// moves a whole tile through a local buffer, reading and writing runs of contiguous points
// instead of one cache line per point.
constexpr int kTileBits = 4;
constexpr int kTile = 1 << kTileBits;

int ReverseBits(int v, int bits) {
    int r = 0;
    for (int b = 0; b < bits; ++b) {
        r = (r << 1) | ((v >> b) & 1);
    }
    return r;
}

void BitReverseSimple(double* x, int n) {
    int j = 0;
    for (int i = 0; i < n - 1; ++i) {
        if (i < j) {
            std::swap(x[i], x[j]);
        }
        int k = n >> 1;
        while (k <= j) {
            j -= k;
            k >>= 1;
        }
        j += k;
    }
}

// A tile is loaded transposed with its rows bit-reversed, so that storing it is a run of
// contiguous copies; the real and imaginary arrays share the index work.
void BitReverseTiled(double* re, double* im, int bits) {
    const int highShift = bits - kTileBits;
    const int middleBits = bits - 2 * kTileBits;
    int revTile[kTile];
    for (int v = 0; v < kTile; ++v) {
        revTile[v] = ReverseBits(v, kTileBits);
    }
    alignas(64) double a[2][kTile * kTile];
    alignas(64) double b[2][kTile * kTile];
    auto load = [&](double(*tile)[kTile * kTile], int middle) {
        for (int h = 0; h < kTile; ++h) {
            const int offset = (h << highShift) | (middle << kTileBits);
            const int column = revTile[h];
            for (int l = 0; l < kTile; ++l) {
                tile[0][l * kTile + column] = re[offset + l];
                tile[1][l * kTile + column] = im[offset + l];
            }
        }
    };
    auto store = [&](const double(*tile)[kTile * kTile], int middle) {
        for (int l = 0; l < kTile; ++l) {
            const int offset = (revTile[l] << highShift) | (middle << kTileBits);
            for (int h = 0; h < kTile; ++h) {
                re[offset + h] = tile[0][l * kTile + h];
                im[offset + h] = tile[1][l * kTile + h];
            }
        }
    };
    const int middles = 1 << middleBits;
    for (int m = 0; m < middles; ++m) {
        const int mr = ReverseBits(m, middleBits);
        if (mr < m) {
            continue;
        }
        load(a, m);
        if (mr != m) {
            load(b, mr);
            store(b, m);
        }
        store(a, mr);
    }
}

void BitReverse(double* re, double* im, int n) {
    const int bits = std::countr_zero(static_cast<unsigned>(n));
    if (bits < 2 * kTileBits) {
        BitReverseSimple(re, n);
        BitReverseSimple(im, n);
        return;
    }
    BitReverseTiled(re, im, bits);
}

}  // namespace

int TransformInPlace(int direction, int n, double* re, double* im) {
    if (n < 2 || (n & (n - 1)) != 0 || re == nullptr || im == nullptr ||
        (direction != fft::kForward && direction != fft::kInverse)) {
        return -1;
    }
    const auto table = AcquireTable(n);
    if (!table) {
        return 1;
    }
    const bool inverse = direction == fft::kInverse;
    if (inverse) {
#pragma omp simd
        for (int i = 0; i < n; ++i) {
            im[i] = -im[i];
        }
    }
    static const ButterflyPass pass = SelectButterflies();
    SplitRadix(re, im, n, *table, pass);
    BitReverse(re, im, n);
    if (inverse) {
        const double scale = 1.0 / n;
#pragma omp simd
        for (int i = 0; i < n; ++i) {
            re[i] *= scale;
            im[i] *= -scale;
        }
    }
    return 0;
}
