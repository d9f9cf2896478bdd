// The least-squares core of the fit: the error of a parameter vector, its Jacobian and the
// damped Gauss-Newton iteration solved by Householder QR.

#include <algorithm>
#include <cmath>
#include <vector>

#include "correction/Fit.h"

namespace {

// Per point: q = product of the section magnitudes, then the least-squares gain and the
// residuals. With jacobian (points x paramCount, row-major) also the derivatives of the
// residuals, the gain held fixed.
double Evaluate(EqFitState& state, const double* params, int paramCount, double* jacobian) {
    const int sections = paramCount / kSectionParams;
    std::vector<double> mags(static_cast<size_t>(sections));
    std::vector<double> after(static_cast<size_t>(sections) + 1);
    double sumRq = 0.0;
    double sumQq = 0.0;
    for (FitPoint& p : state.points) {
        double q = 1.0;
        for (int k = 0; k < sections; ++k) {
            mags[k] = SectionMagnitude(p, params + kSectionParams * k);
            q *= mags[k];
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
    if (jacobian == nullptr || sections == 0)
        return error;

    for (size_t i = 0; i < state.points.size(); ++i) {
        const FitPoint& p = state.points[i];
        double* row = jacobian + i * static_cast<size_t>(paramCount);
        for (int k = 0; k < sections; ++k)
            mags[k] = SectionMagnitude(p, params + kSectionParams * k);
        // Products of the other sections without dividing by a possibly zero magnitude.
        after[sections] = 1.0;
        for (int k = sections - 1; k >= 0; --k)
            after[k] = after[k + 1] * mags[k];
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
            const double poleScale = (sd > 0.0) ? -rest * mags[k] / den : 0.0;
            d[0] = zeroScale * (nr * p.cos1 + ni * p.nsin1);
            d[1] = zeroScale * (nr * p.cos2 + ni * p.nsin2);
            d[2] = poleScale * (dr * p.cos1 + di * p.nsin1);
            d[3] = poleScale * (dr * p.cos2 + di * p.nsin2);
            before *= mags[k];
        }
    }
    return error;
}

// a = J^T J (full symmetric) and b = J^T (-e).
void FormNormalEquations(const EqFitState& state, const std::vector<double>& jacobian, int n,
                         std::vector<double>& a, std::vector<double>& b) {
    std::fill(a.begin(), a.end(), 0.0);
    std::fill(b.begin(), b.end(), 0.0);
    for (size_t i = 0; i < state.points.size(); ++i) {
        const double* row = jacobian.data() + i * static_cast<size_t>(n);
        const double e = state.points[i].e;
        for (int j = 0; j < n; ++j) {
            const double rj = row[j];
            if (rj == 0.0)
                continue;
            b[j] -= rj * e;
            double* aj = a.data() + static_cast<size_t>(j) * n;
            for (int k = j; k < n; ++k)
                aj[k] += rj * row[k];
        }
    }
    for (int j = 0; j < n; ++j)
        for (int k = j + 1; k < n; ++k)
            a[static_cast<size_t>(k) * n + j] = a[static_cast<size_t>(j) * n + k];
}

}  // namespace

double FitError(EqFitState& state, const double* params, int paramCount) {
    return Evaluate(state, params, std::max(0, paramCount), nullptr);
}

bool SolveHouseholder(int n, double* m, double* rhs, double* x) {
    if (n <= 0)
        return true;
    double scale = 0.0;
    for (int i = 0; i < n * n; ++i)
        scale = std::max(scale, std::fabs(m[i]));
    if (!(scale > 0.0) || !std::isfinite(scale))
        return false;
    const double tiny = scale * 1e-14;
    std::vector<double> v(static_cast<size_t>(n));
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
            for (int j = k; j < n; ++j) {
                double s = 0.0;
                for (int i = k; i < n; ++i)
                    s += v[i] * m[i * n + j];
                s = 2.0 * s / vv;
                for (int i = k; i < n; ++i)
                    m[i * n + j] -= s * v[i];
            }
            double s = 0.0;
            for (int i = k; i < n; ++i)
                s += v[i] * rhs[i];
            s = 2.0 * s / vv;
            for (int i = k; i < n; ++i)
                rhs[i] -= s * v[i];
        }
        if (!(std::fabs(m[k * n + k]) > tiny))
            return false;
    }
    for (int k = n - 1; k >= 0; --k) {
        double s = rhs[k];
        for (int j = k + 1; j < n; ++j)
            s -= m[k * n + j] * x[j];
        x[k] = s / m[k * n + k];
        if (!std::isfinite(x[k]))
            return false;
    }
    return true;
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
    std::vector<double> trialJacobian(points * nn);
    std::vector<double> a(nn * nn), b(nn), m(nn * nn), rhs(nn), delta(nn), trial(nn);

    double lambda = 0.001;
    double w = Evaluate(state, params, n, jacobian.data());
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
            const double h = Evaluate(state, trial.data(), n, trialJacobian.data());
            stateAtParams = false;
            if (h < w) {
                lambda /= 2.0;
                std::copy(trial.begin(), trial.end(), params);
                jacobian.swap(trialJacobian);
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
            w = Evaluate(state, params, n, jacobian.data());
            stateAtParams = true;
        }
    }
    if (!stateAtParams)
        Evaluate(state, params, n, nullptr);
    error = w;
    return result == kSingularSystem ? kSingularSystem : iterations;
}
