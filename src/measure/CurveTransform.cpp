// Time <-> frequency conversion of curves and the uniform frequency grid it needs.

#include <cmath>
#include <cstdint>
#include <memory>
#include <new>

#include "measure/Curve.h"

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

struct WorkArrays {
    std::unique_ptr<double[]> re;
    std::unique_ptr<double[]> im;
};

bool Allocate(WorkArrays& w, std::int64_t n) {
    try {
        w.re.reset(new double[static_cast<std::size_t>(n)]);
        w.im.reset(new double[static_cast<std::size_t>(n)]);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Grid of count points spaced df from 0 Hz with unit magnitude, multiplied by curve.
CurvePtr GridTimes(int count, double df, CCurve& curve) {
    auto grid = std::make_shared<CCurve>(count, AxisKind::Frequency, DataFormat::MagPhase);
    double* x = grid->X();
    double* m = grid->First();
    double* phi = grid->Second();
#pragma omp parallel for schedule(static)
    for (int k = 0; k < count; ++k) {
        x[k] = k * df;
        m[k] = 1.0;
        phi[k] = 0.0;
    }
    Multiply(*grid, curve);
    return grid;
}

// The uniform grid of curve: nullptr when curve itself is already one, or through failed set.
CurvePtr UniformGridOf(CCurve& curve, bool& failed) {
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

CurvePtr Fft(CCurve& curve) {
    if (curve.Kind() == AxisKind::Frequency) {
        return Clone(curve);
    }
    const int n = curve.Count();
    if (n < 2) {
        return nullptr;
    }
    const double dt = curve.X()[1] - curve.X()[0];
    const std::int64_t size = PowerOfTwoAtLeast(n);
    if (dt == 0.0 || !std::isfinite(dt) || size == 0) {
        return nullptr;
    }
    const int N = static_cast<int>(size);
    WorkArrays w;
    if (!Allocate(w, N)) {
        return nullptr;
    }
    ToCartesian(curve);
    double* re = w.re.get();
    double* im = w.im.get();
    const double* cr = curve.First();
    const double* ci = curve.Second();
#pragma omp parallel for schedule(static)
    for (int i = 0; i < N; ++i) {
        re[i] = i < n ? cr[i] : 0.0;
        im[i] = i < n ? ci[i] : 0.0;
    }
    if (TransformInPlace(fft::kForward, N, re, im) != 0) {
        return nullptr;
    }
    const int count = N / 2 + 1;
    CurvePtr out;
    try {
        out = std::make_shared<CCurve>(count, AxisKind::Frequency, DataFormat::Cartesian);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    const double df = 1.0 / (N * dt);
    const double scale = 2.0 / N;
    double* x = out->X();
    double* orr = out->First();
    double* oi = out->Second();
#pragma omp parallel for schedule(static)
    for (int k = 0; k < count; ++k) {
        x[k] = k * df;
        orr[k] = re[k] * scale;
        oi[k] = im[k] * scale;
    }
    return out;
}

CurvePtr InverseFft(CCurve& curve) {
    if (curve.Kind() == AxisKind::Time) {
        return Clone(curve);
    }
    bool failed = false;
    CurvePtr owned = UniformGridOf(curve, failed);
    if (failed) {
        return nullptr;
    }
    CCurve& g = owned ? *owned : curve;
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
    ToCartesian(g);
    double* re = w.re.get();
    double* im = w.im.get();
    const double* gr = g.First();
    const double* gi = g.Second();
#pragma omp parallel for schedule(static)
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
    if (TransformInPlace(fft::kInverse, N, re, im) != 0) {
        return nullptr;
    }
    CurvePtr out;
    try {
        out = std::make_shared<CCurve>(N, AxisKind::Time, DataFormat::Cartesian);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    const double dt = 1.0 / (N * df);
    const double scale = N / 2.0;
    double* t = out->X();
    double* orr = out->First();
    double* oi = out->Second();
#pragma omp parallel for schedule(static)
    for (int i = 0; i < N; ++i) {
        t[i] = i * dt;
        orr[i] = re[i] * scale;
        oi[i] = im[i] * scale;
    }
    return out;
}
