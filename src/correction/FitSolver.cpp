// The least-squares core of the fit: the error of a parameter vector, its Jacobian and the
// damped Gauss-Newton iteration solved by Householder QR.

#include <algorithm>
#include <cmath>
#include <vector>

#include "correction/Fit.h"

namespace {

// Per point: q = product of the section magnitudes, then the least-squares gain and the
// residuals. The magnitudes are kept (points x sections) for Jacobian.
double Evaluate(EqFitState& state, const double* params, int paramCount,
                std::vector<double>& mags) {
    const int sections = paramCount / kSectionParams;
    const size_t count = state.points.size();
    mags.resize(count * static_cast<size_t>(sections));
    double sumRq = 0.0;
    double sumQq = 0.0;
    for (size_t i = 0; i < count; ++i) {
        FitPoint& p = state.points[i];
        double* m = mags.data() + i * static_cast<size_t>(sections);
        double q = 1.0;
        for (int k = 0; k < sections; ++k) {
            m[k] = SectionMagnitude(p, params + kSectionParams * k);
            q *= m[k];
        }
        p.q = q;
        sumRq += p.r * q;
        sumQq += q * q;
    }
    const double g = sumQq > 0.0 ? sumRq / sumQq : 0.0;
    state.gain = g;
    double error = 0.0;
    for (FitPoint& p : state.points) {
        p.e = g * p.q - p.r;
        error += p.e * p.e;
    }
    return error;
}

// The derivatives of the residuals (points x paramCount, row-major) at the parameters the last
// Evaluate saw, with its magnitudes; the gain is held fixed.
void Jacobian(const EqFitState& state, const double* params, int paramCount,
              const std::vector<double>& mags, double* jacobian) {
    const int sections = paramCount / kSectionParams;
    if (sections == 0)
        return;
    const double g = state.gain;
    std::vector<double> after(static_cast<size_t>(sections) + 1);
    for (size_t i = 0; i < state.points.size(); ++i) {
        const FitPoint& p = state.points[i];
        const double* m = mags.data() + i * static_cast<size_t>(sections);
        double* row = jacobian + i * static_cast<size_t>(paramCount);
        // Products of the other sections without dividing by a possibly zero magnitude.
        after[sections] = 1.0;
        for (int k = sections - 1; k >= 0; --k)
            after[k] = after[k + 1] * m[k];
        double before = g;
        for (int k = 0; k < sections; ++k) {
            const double* s = params + kSectionParams * k;
            const double rest = before * after[k + 1];
            const double nr = 1.0 + s[0] * p.cos1 + s[1] * p.cos2;
            const double ni = s[0] * p.nsin1 + s[1] * p.nsin2;
            const double dr = 1.0 + s[2] * p.cos1 + s[3] * p.cos2;
            const double di = s[2] * p.nsin1 + s[3] * p.nsin2;
            const double num = nr * nr + ni * ni;
            const double den = dr * dr + di * di;
            const double sn = std::sqrt(num);
            const double sd = std::sqrt(den);
            double* d = row + kSectionParams * k;
            // d|H|/db = (Re N dRe + Im N dIm) / (|N| |D|); d|H|/da = -|H| (...) / |D|^2.
            const double zeroScale = (sn > 0.0 && sd > 0.0) ? rest / (sn * sd) : 0.0;
            const double poleScale = (sd > 0.0) ? -rest * m[k] / den : 0.0;
            d[0] = zeroScale * (nr * p.cos1 + ni * p.nsin1);
            d[1] = zeroScale * (nr * p.cos2 + ni * p.nsin2);
            d[2] = poleScale * (dr * p.cos1 + di * p.nsin1);
            d[3] = poleScale * (dr * p.cos2 + di * p.nsin2);
            before *= m[k];
        }
    }
}

// a += row[j] * row[k] for k = j .. n-1 of every j with row[j] nonzero: the upper triangle of
// the outer products of `rows` consecutive Jacobian rows, added point after point. A block of
// four rows updates each element of a once, adding the four products in point order, which is
// the same arithmetic as four single-row passes; vectors over k change no result either.
__attribute__((always_inline)) inline void AddOuterProductsBody(double* __restrict a,
                                                                const double* __restrict rows,
                                                                int count, int n) {
    int p = 0;
    for (; p + 4 <= count; p += 4) {
        const double* __restrict r0 = rows + static_cast<size_t>(p) * n;
        const double* __restrict r1 = r0 + n;
        const double* __restrict r2 = r1 + n;
        const double* __restrict r3 = r2 + n;
        for (int j = 0; j < n; ++j) {
            const double c0 = r0[j], c1 = r1[j], c2 = r2[j], c3 = r3[j];
            double* __restrict aj = a + static_cast<size_t>(j) * n;
            if (c0 != 0.0 && c1 != 0.0 && c2 != 0.0 && c3 != 0.0) {
#pragma omp simd
                for (int k = j; k < n; ++k) {
                    double t = aj[k];
                    t += c0 * r0[k];
                    t += c1 * r1[k];
                    t += c2 * r2[k];
                    t += c3 * r3[k];
                    aj[k] = t;
                }
                continue;
            }
            // A zero derivative adds nothing (not even a signed zero or a NaN from 0 * inf).
            for (const double* r : {r0, r1, r2, r3}) {
                const double c = r[j];
                if (c == 0.0)
                    continue;
#pragma omp simd
                for (int k = j; k < n; ++k)
                    aj[k] += c * r[k];
            }
        }
    }
    for (; p < count; ++p) {
        const double* __restrict r = rows + static_cast<size_t>(p) * n;
        for (int j = 0; j < n; ++j) {
            const double c = r[j];
            if (c == 0.0)
                continue;
            double* __restrict aj = a + static_cast<size_t>(j) * n;
#pragma omp simd
            for (int k = j; k < n; ++k)
                aj[k] += c * r[k];
        }
    }
}

using OuterProducts = void (*)(double*, const double*, int, int);

void AddOuterProducts(double* a, const double* rows, int count, int n) {
    AddOuterProductsBody(a, rows, count, n);
}

// AVX2 without FMA: a fused multiply-add would round differently from the plain form.
__attribute__((target("avx2"))) void AddOuterProductsAvx2(double* a, const double* rows, int count,
                                                          int n) {
    AddOuterProductsBody(a, rows, count, n);
}

OuterProducts SelectOuterProducts() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? AddOuterProductsAvx2 : AddOuterProducts;
}

// a = J^T J (full symmetric) and b = J^T (-e).
void FormNormalEquations(const EqFitState& state, const std::vector<double>& jacobian, int n,
                         std::vector<double>& a, std::vector<double>& b) {
    static const OuterProducts addOuterProducts = SelectOuterProducts();
    std::fill(a.begin(), a.end(), 0.0);
    std::fill(b.begin(), b.end(), 0.0);
    for (size_t i = 0; i < state.points.size(); ++i) {
        const double* row = jacobian.data() + i * static_cast<size_t>(n);
        const double e = state.points[i].e;
        for (int j = 0; j < n; ++j)
            if (row[j] != 0.0)
                b[j] -= row[j] * e;
    }
    addOuterProducts(a.data(), jacobian.data(), static_cast<int>(state.points.size()), n);
    for (int j = 0; j < n; ++j)
        for (int k = j + 1; k < n; ++k)
            a[static_cast<size_t>(k) * n + j] = a[static_cast<size_t>(j) * n + k];
}

}  // namespace

void AddRowProducts(double* a, const double* rows, int count, int n) {
    static const OuterProducts addOuterProducts = SelectOuterProducts();
    addOuterProducts(a, rows, count, n);
}

double FitError(EqFitState& state, const double* params, int paramCount) {
    std::vector<double> mags;
    return Evaluate(state, params, std::max(0, paramCount), mags);
}

namespace {

// The reflection of one column runs row by row, so that the loops over columns read contiguous
// memory and vectorise; every column still sums its rows in order, as the column-by-column form
// does, so the results are the same to the bit.
__attribute__((always_inline)) inline bool SolveHouseholderBody(int n, double* __restrict m,
                                                                double* __restrict rhs,
                                                                double* __restrict x,
                                                                double* __restrict v,
                                                                double* __restrict s) {
    double scale = 0.0;
    for (int i = 0; i < n * n; ++i)
        scale = std::max(scale, std::fabs(m[i]));
    if (!(scale > 0.0) || !std::isfinite(scale))
        return false;
    const double tiny = scale * 1e-14;
    for (int k = 0; k < n; ++k) {
        double norm = 0.0;
        for (int i = k; i < n; ++i)
            norm += m[i * n + k] * m[i * n + k];
        norm = std::sqrt(norm);
        if (!(norm > tiny) || !std::isfinite(norm))
            return false;
        const double alpha = m[k * n + k] > 0.0 ? -norm : norm;
        double vv = 0.0;
        for (int i = k; i < n; ++i) {
            v[i] = m[i * n + k];
            if (i == k)
                v[i] -= alpha;
            vv += v[i] * v[i];
        }
        if (vv > 0.0) {
            for (int j = k; j < n; ++j)
                s[j] = 0.0;
            for (int i = k; i < n; ++i) {
                const double vi = v[i];
                const double* __restrict row = m + i * n;
#pragma omp simd
                for (int j = k; j < n; ++j)
                    s[j] += vi * row[j];
            }
#pragma omp simd
            for (int j = k; j < n; ++j)
                s[j] = 2.0 * s[j] / vv;
            for (int i = k; i < n; ++i) {
                const double vi = v[i];
                double* __restrict row = m + i * n;
#pragma omp simd
                for (int j = k; j < n; ++j)
                    row[j] -= s[j] * vi;
            }
            double t = 0.0;
            for (int i = k; i < n; ++i)
                t += v[i] * rhs[i];
            t = 2.0 * t / vv;
            for (int i = k; i < n; ++i)
                rhs[i] -= t * v[i];
        }
        if (!(std::fabs(m[k * n + k]) > tiny))
            return false;
    }
    for (int k = n - 1; k >= 0; --k) {
        double t = rhs[k];
        for (int j = k + 1; j < n; ++j)
            t -= m[k * n + j] * x[j];
        x[k] = t / m[k * n + k];
        if (!std::isfinite(x[k]))
            return false;
    }
    return true;
}

using HouseholderSolver = bool (*)(int, double*, double*, double*, double*, double*);

bool SolveHouseholderPlain(int n, double* m, double* rhs, double* x, double* v, double* s) {
    return SolveHouseholderBody(n, m, rhs, x, v, s);
}

// AVX2 without FMA, for the same rounding as the plain form.
__attribute__((target("avx2"))) bool SolveHouseholderAvx2(int n, double* m, double* rhs, double* x,
                                                          double* v, double* s) {
    return SolveHouseholderBody(n, m, rhs, x, v, s);
}

HouseholderSolver SelectHouseholder() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? SolveHouseholderAvx2 : SolveHouseholderPlain;
}

}  // namespace

bool SolveHouseholder(int n, double* m, double* rhs, double* x) {
    if (n <= 0)
        return true;
    static const HouseholderSolver solve = SelectHouseholder();
    std::vector<double> work(2 * static_cast<size_t>(n));
    return solve(n, m, rhs, x, work.data(), work.data() + n);
}

int LevenbergMarquardt(EqFitState& state, int paramCount, double* params, double& error,
                       int iterationLimit, double tolerance) {
    const int n = paramCount;
    if (n <= 0) {
        error = FitError(state, params, 0);
        return 0;
    }
    const size_t points = state.points.size();
    const size_t nn = static_cast<size_t>(n);
    std::vector<double> jacobian(points * nn);
    std::vector<double> mags;
    std::vector<double> a(nn * nn), b(nn), m(nn * nn), rhs(nn), delta(nn), trial(nn);

    double lambda = 0.001;
    double w = Evaluate(state, params, n, mags);
    Jacobian(state, params, n, mags, jacobian.data());
    bool stateAtParams = true;
    int iterations = 0;
    int result = -1;
    while (iterations < iterationLimit && result < 0) {
        FormNormalEquations(state, jacobian, n, a, b);
        bool improved = false;
        while (iterations < iterationLimit) {
            if (lambda + 1.0 == 1.0)
                lambda = 1e-16;
            ++iterations;
            m = a;
            for (int j = 0; j < n; ++j)
                m[static_cast<size_t>(j) * nn + j] *= 1.0 + lambda;
            rhs = b;
            if (!SolveHouseholder(n, m.data(), rhs.data(), delta.data())) {
                result = kSingularSystem;
                break;
            }
            for (int j = 0; j < n; ++j)
                trial[j] = params[j] + delta[j];
            // The Jacobian is needed only where the step is taken.
            const double h = Evaluate(state, trial.data(), n, mags);
            stateAtParams = false;
            if (h < w) {
                Jacobian(state, trial.data(), n, mags, jacobian.data());
                lambda /= 2.0;
                std::copy(trial.begin(), trial.end(), params);
                stateAtParams = true;
                if (2.0 * std::fabs(w - h) <= tolerance * (std::fabs(w) + std::fabs(h) + 1e-16))
                    result = iterations;
                w = h;
                improved = true;
                break;
            }
            lambda *= 2.0;
            if (lambda + 1.0 == lambda)
                break;
        }
        if (result < 0 && !improved && iterations < iterationLimit) {
            lambda = 0.001;
            w = Evaluate(state, params, n, mags);
            Jacobian(state, params, n, mags, jacobian.data());
            stateAtParams = true;
        }
    }
    if (!stateAtParams)
        Evaluate(state, params, n, mags);
    error = w;
    return result == kSingularSystem ? kSingularSystem : iterations;
}
