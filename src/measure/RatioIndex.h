#pragma once
// Constant-time lookup in an ascending table of ratios, for the smoothing's weighting.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace smooth_detail {

// The index of the first table ratio above r, or the last index, in constant time. Buckets of
// equal width over the table's ratios hold at most one entry each, so the entries in earlier
// buckets lie below r, those in later ones above, and one comparison settles the bucket's own
// entry.
class RatioIndex {
public:
    // From the strictly ascending ratios R[0..size-1]; false when their spacing would need too
    // many buckets.
    bool Build(const double* R, int size) {
        constexpr int kMaxBuckets = 1 << 14;
        const int last = size - 1;
        if (size < 3) {
            return false;
        }
        last_ = last;
        double gap = HUGE_VAL;
        for (int k = 1; k < last; ++k) {
            gap = std::min(gap, R[k] - R[k - 1]);
        }
        const double span = R[last - 1] - R[0];
        if (!(gap > 0.0) || !(span > 0.0) || !(span < kMaxBuckets * gap)) {
            return false;
        }
        origin_ = R[0];
        bound_.assign(R, R + last);
        bound_.push_back(HUGE_VAL);  // the last index is never passed
        for (buckets_ = 1; buckets_ < 2 * span / gap;) {
            buckets_ *= 2;
        }
        for (; buckets_ <= kMaxBuckets; buckets_ *= 2) {
            scale_ = buckets_ / span;
            below_.assign(static_cast<std::size_t>(buckets_) + 1, 0);
            bool single = true;
            for (int k = 0; k < last && single; ++k) {
                single = ++below_[Bucket(R[k], origin_, scale_, buckets_ - 1) + 1] == 1;
            }
            if (single) {
                for (int b = 0; b < buckets_; ++b) {
                    below_[b + 1] += below_[b];
                }
                return true;
            }
        }
        return false;
    }

    // The weights W[k] of the ratios a[i] / f, i < count.
    void Weights(const double* W, const double* a, double f, double* out, int count) const {
        static const WeightsPass pass = SelectWeightsPass();
        pass(below_.data(), bound_.data(), W, origin_, scale_, buckets_ - 1, last_, a, f, out,
             count);
    }

private:
    using WeightsPass = void (*)(const int*, const double*, const double*, double, double, double,
                                 int, const double*, double, double*, int);

    // Monotonic in r, so an entry in an earlier bucket is below every r of a later one.
    static int Bucket(double r, double origin, double scale, double top) {
        double x = (r - origin) * scale;
        x = x > 0.0 ? x : 0.0;
        return static_cast<int>(x < top ? x : top);
    }

    __attribute__((always_inline)) static inline void WeightsBody(
        const int* __restrict below, const double* __restrict bound, const double* __restrict W,
        double origin, double scale, double top, int last, const double* __restrict a, double f,
        double* __restrict out, int count) {
#pragma omp simd
        for (int i = 0; i < count; ++i) {
            out[i] = a[i] / f;
        }
        for (int i = 0; i < count; ++i) {
            const double q = out[i];
            const int k = below[Bucket(q, origin, scale, top)];
            out[i] = q == q ? W[k + (bound[k] <= q ? 1 : 0)] : W[last];
        }
    }
    static void WeightsPlain(const int* below, const double* bound, const double* W, double origin,
                             double scale, double top, int last, const double* a, double f,
                             double* out, int count) {
        WeightsBody(below, bound, W, origin, scale, top, last, a, f, out, count);
    }
    __attribute__((target("avx2,fma"))) static void WeightsAvx2(
        const int* below, const double* bound, const double* W, double origin, double scale,
        double top, int last, const double* a, double f, double* out, int count) {
        WeightsBody(below, bound, W, origin, scale, top, last, a, f, out, count);
    }
    static WeightsPass SelectWeightsPass() {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
            return WeightsAvx2;
        }
        return WeightsPlain;
    }

    double origin_ = 0.0;
    double scale_ = 0.0;
    int buckets_ = 0;
    int last_ = 0;
    std::vector<int> below_;     // entries in the buckets before each bucket
    std::vector<double> bound_;  // the ratios, then one that no ratio reaches
};

}  // namespace smooth_detail
