#include "correction/TargetBiquad.h"
#include "measure/ParallelLoops.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace {

using Complex = std::complex<double>;

Complex Response(const Biquad& h, double f, double sampleRate) {
    const double x = -2.0 * std::numbers::pi * f / sampleRate;
    const double c1 = std::cos(x), s1 = std::sin(x);
    const double c2 = std::cos(2.0 * x), s2 = std::sin(2.0 * x);
    const Complex n(h.b0 + h.b1 * c1 + h.b2 * c2, h.b1 * s1 + h.b2 * s2);
    const Complex d(1.0 + h.a1 * c1 + h.a2 * c2, h.a1 * s1 + h.a2 * s2);
    return n / d;
}

}  // namespace

Biquad DesignSecondOrder(BiquadKind kind, double f0, double q, double sampleRate) {
    const double w = f0 / sampleRate;
    const double r = -std::numbers::pi * w / q;
    const double disc = 4.0 - 1.0 / (q * q);
    Biquad h;
    // Below Q = 1/2 the poles are real: the cosine of the imaginary angle becomes a cosh.
    const double spread = std::numbers::pi * w * std::sqrt(std::abs(disc));
    h.a1 = -2.0 * std::exp(r) * (disc >= 0.0 ? std::cos(spread) : std::cosh(spread));
    h.a2 = std::exp(2.0 * r);
    h.b1 = kind == BiquadKind::HighPass ? -2.0 : 2.0;
    h.b2 = 1.0;
    return h;
}

double BiquadMagnitude(const Biquad& h, double f, double sampleRate) {
    return std::abs(Response(h, f, sampleRate));
}

void BiquadResponse(const Biquad& h, double sampleRate, CCurve& curve) {
    ToCartesian(curve);
    const int n = curve.Count();
    const double* f = curve.X();
    double* re = curve.First();
    double* im = curve.Second();
#pragma omp parallel for schedule(static) if (n >= parallel::kMinTranscendental)
    for (int i = 0; i < n; ++i) {
        const Complex v = Response(h, f[i], sampleRate);
        re[i] = v.real();
        im[i] = v.imag();
    }
}

void ButterworthHighPassDb(double fc, int order, CCurve& curve) {
    ToDbPhase(curve);
    const int n = curve.Count();
    const double* f = curve.X();
    double* db = curve.First();
    double* phase = curve.Second();
#pragma omp parallel for schedule(static) if (n >= parallel::kMinTranscendental)
    for (int i = 0; i < n; ++i) {
        db[i] =
            f[i] > 0.0 ? -10.0 * std::log10(1.0 + std::pow(fc / f[i], 2.0 * order)) : kZeroLevelDb;
        phase[i] = 0.0;
    }
}
