// Time <-> frequency conversion of curves and the uniform frequency grid it needs.

#include <cmath>
#include <cstdint>
#include <memory>
#include <new>

#include "measure/Curve.h"
#include "measure/CurveDetail.h"
#include "measure/ParallelLoops.h"

namespace {

// Smallest power of two at or above n, or 0 when it would not fit a transform.
std::int64_t PowerOfTwoAtLeast(std::int64_t n) {
    std::int64_t p = 1;
    while (p < n) {
        p <<= 1;
        if (p >= DbleVect::kMaxCount) {
            return 0;
        }
    }
    return p;
}

// Work arrays start on a cache line: the transform's vector loads then never straddle two lines.
constexpr std::align_val_t kWorkAlignment{64};

struct AlignedDelete {
    void operator()(double* p) const noexcept { ::operator delete[](p, kWorkAlignment); }
};
using WorkArray = std::unique_ptr<double[], AlignedDelete>;

struct WorkArrays {
    WorkArray re;
    WorkArray im;
};

bool Allocate(WorkArrays& w, std::int64_t n) {
    try {
        const std::size_t bytes = sizeof(double) * static_cast<std::size_t>(n);
        w.re.reset(static_cast<double*>(::operator new[](bytes, kWorkAlignment)));
        w.im.reset(static_cast<double*>(::operator new[](bytes, kWorkAlignment)));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Grid of count points spaced df from 0 Hz with unit magnitude, multiplied by curve.
CurvePtr GridTimes(int count, double df, const CCurve& curve) {
    auto grid = std::make_shared<CCurve>(count, AxisKind::Frequency, DataFormat::MagPhase);
    double* x = grid->X();
    double* m = grid->First();
    double* phi = grid->Second();
#pragma omp parallel for schedule(static) if (count >= parallel::kMinArithmetic)
    for (int k = 0; k < count; ++k) {
        x[k] = k * df;
        m[k] = 1.0;
        phi[k] = 0.0;
    }
    Multiply(*grid, curve);
    return grid;
}

// The uniform grid of curve: nullptr when curve itself is already one, or through failed set.
CurvePtr UniformGridOf(const CCurve& curve, bool& failed) {
    failed = false;
    const int n = curve.Count();
    if (n < 2) {
        return nullptr;
    }
    const double* a = curve.X();
    const double df = a[1] - a[0];
    for (int k = 1; k + 1 < n; ++k) {
        // Spacings computed from k * df differ by rounding at the scale of the axis values.
        const double tolerance = 1e-12 * std::fmax(1.0, std::fabs(a[k + 1]));
        if (!(std::fabs((a[k + 1] - a[k]) - df) <= tolerance)) {
            try {
                return GridTimes(65536 / 2 + 1, 44100.0 / 65536.0, curve);
            } catch (const std::bad_alloc&) {
                failed = true;
                return nullptr;
            }
        }
    }
    const double ratio = std::floor(2.0 * a[n - 1] / df);
    if (!(df > 0.0) || !std::isfinite(ratio) || ratio >= static_cast<double>(DbleVect::kMaxCount)) {
        failed = true;
        return nullptr;
    }
    const std::int64_t m = PowerOfTwoAtLeast(static_cast<std::int64_t>(std::fmax(ratio, 1.0)));
    if (m == 0) {
        failed = true;
        return nullptr;
    }
    if (n == m / 2 + 1) {
        return nullptr;
    }
    try {
        return GridTimes(static_cast<int>(m / 2 + 1), df, curve);
    } catch (const std::bad_alloc&) {
        failed = true;
        return nullptr;
    }
}

}  // namespace

namespace curve_detail {

std::shared_ptr<CCurve> UnfilledCurve(int n, AxisKind kind, DataFormat format) {
    auto c = std::make_shared<CCurve>();
    c->axis.kind = kind;
    c->data.format = format;
    c->axis.values = DbleVect::Uninitialized(n);
    c->data.first = DbleVect::Uninitialized(n);
    c->data.second = DbleVect::Uninitialized(n);
    return c;
}

std::shared_ptr<CCurve> SpectrumOf(const double* cr, const double* ci, int n, double dt) {
    const std::int64_t size = PowerOfTwoAtLeast(n);
    if (n < 2 || dt == 0.0 || !std::isfinite(dt) || size == 0) {
        return nullptr;
    }
    const int N = static_cast<int>(size);
    WorkArrays w;
    if (!Allocate(w, N)) {
        return nullptr;
    }
    double* re = w.re.get();
    double* im = w.im.get();
#pragma omp parallel for schedule(static) if (N >= parallel::kMinArithmetic)
    for (int i = 0; i < N; ++i) {
        re[i] = i < n ? cr[i] : 0.0;
        im[i] = i < n && ci != nullptr ? ci[i] : 0.0;
    }
    if (TransformInPlace(fft::kForward, N, re, im) != 0) {
        return nullptr;
    }
    const int count = N / 2 + 1;
    CurvePtr out;
    try {
        out = UnfilledCurve(count, AxisKind::Frequency, DataFormat::Cartesian);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    const double df = 1.0 / (N * dt);
    const double scale = 2.0 / N;
    double* x = out->X();
    double* orr = out->First();
    double* oi = out->Second();
#pragma omp parallel for schedule(static) if (count >= parallel::kMinArithmetic)
    for (int k = 0; k < count; ++k) {
        x[k] = k * df;
        orr[k] = re[k] * scale;
        oi[k] = im[k] * scale;
    }
    return out;
}

}  // namespace curve_detail

CurvePtr ToUniformGrid(const CurvePtr& curve) {
    if (!curve) {
        return curve;
    }
    bool failed = false;
    auto grid = UniformGridOf(*curve, failed);
    if (failed) {
        return nullptr;
    }
    return grid ? grid : curve;
}

CurvePtr Fft(const CCurve& curve) {
    if (curve.Kind() == AxisKind::Frequency) {
        return Clone(curve);
    }
    const int n = curve.Count();
    if (n < 2) {
        return nullptr;
    }
    std::shared_ptr<CCurve> hold;
    const CCurve& c = curve_detail::InFormat(curve, DataFormat::Cartesian, hold);
    return curve_detail::SpectrumOf(c.First(), c.Second(), n, c.X()[1] - c.X()[0]);
}

CurvePtr InverseFft(const CCurve& curve) {
    if (curve.Kind() == AxisKind::Time) {
        return Clone(curve);
    }
    bool failed = false;
    CurvePtr owned = UniformGridOf(curve, failed);
    if (failed) {
        return nullptr;
    }
    const CCurve& g = owned ? *owned : curve;
    const int n = g.Count();
    if (n < 2) {
        return nullptr;
    }
    const double df = g.X()[1] - g.X()[0];
    const int N = 2 * n - 2;
    if (!(df > 0.0) || !std::isfinite(df) || (N & (N - 1)) != 0) {
        return nullptr;
    }
    WorkArrays w;
    if (!Allocate(w, N)) {
        return nullptr;
    }
    // The grid made here converts in place; the caller's curve only through a copy.
    if (owned) {
        ToCartesian(*owned);
    }
    std::shared_ptr<CCurve> converted;
    const CCurve& c = curve_detail::InFormat(g, DataFormat::Cartesian, converted);
    double* re = w.re.get();
    double* im = w.im.get();
    const double* gr = c.First();
    const double* gi = c.Second();
#pragma omp parallel for schedule(static) if (N >= parallel::kMinArithmetic)
    for (int k = 0; k < N; ++k) {
        if (k < n) {
            re[k] = gr[k];
            im[k] = gi[k];
        } else {
            re[k] = gr[N - k];
            im[k] = -gi[N - k];
        }
    }
    owned.reset();
    converted.reset();
    if (TransformInPlace(fft::kInverse, N, re, im) != 0) {
        return nullptr;
    }
    CurvePtr out;
    try {
        out = curve_detail::UnfilledCurve(N, AxisKind::Time, DataFormat::Cartesian);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    const double dt = 1.0 / (N * df);
    const double scale = N / 2.0;
    double* t = out->X();
    double* orr = out->First();
    double* oi = out->Second();
#pragma omp parallel for schedule(static) if (N >= parallel::kMinArithmetic)
    for (int i = 0; i < N; ++i) {
        t[i] = i * dt;
        orr[i] = re[i] * scale;
        oi[i] = im[i] * scale;
    }
    return out;
}
