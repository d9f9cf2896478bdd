#include "correction/EqDecay.h"

#include <new>
#include <numbers>
#include <stdexcept>

#include "measure/Transform.h"

namespace {

using Complex = std::complex<double>;

// B(z) = c0 + c1 z^-1 + c2 z^-2 at z^-1 = e^(-j omega), and sum k ck z^-k.
void Polynomial(double c0, double c1, double c2, Complex z1, Complex& value, Complex& moment) {
    const Complex z2 = z1 * z1;
    value = c0 + c1 * z1 + c2 * z2;
    moment = c1 * z1 + 2.0 * c2 * z2;
}

double PolynomialDelay(double c0, double c1, double c2, Complex z1) {
    Complex value, moment;
    Polynomial(c0, c1, c2, z1, value, moment);
    const double power = std::norm(value);
    return power > 0.0 ? (moment * std::conj(value)).real() / power : 0.0;
}

}  // namespace

Complex CascadeResponse(const SectionArrays& s, double omega) {
    const Complex z1 = std::polar(1.0, -omega);
    const Complex z2 = z1 * z1;
    Complex h = 1.0;
    for (size_t k = 0; k < s.size(); ++k) {
        const Complex num = s.b0[k] + s.b1[k] * z1 + s.b2[k] * z2;
        const Complex den = s.a0[k] + s.a1[k] * z1 + s.a2[k] * z2;
        h *= std::abs(den) > 0.0 ? num / den : num * 1e40;
    }
    return h;
}

double CascadeGroupDelay(const SectionArrays& s, double omega) {
    const Complex z1 = std::polar(1.0, -omega);
    double delay = 0.0;
    for (size_t k = 0; k < s.size(); ++k)
        delay += PolynomialDelay(s.b0[k], s.b1[k], s.b2[k], z1) -
                 PolynomialDelay(s.a0[k], s.a1[k], s.a2[k], z1);
    return delay;
}

std::vector<double> EqualiserGroupDelay(const SectionArrays& sections, double rate,
                                        const std::vector<double>& frequencies) {
    std::vector<double> delay;
    delay.reserve(frequencies.size());
    for (double f : frequencies)
        delay.push_back(CascadeGroupDelay(sections, 2.0 * std::numbers::pi * f / rate) / rate);
    return delay;
}

Decay::Signal EqualisedImpulse(const Decay::Signal& impulse, const SectionArrays& sections,
                               double gain) {
    const size_t n = impulse.size();
    std::vector<double> re = impulse, im(n, 0.0);
    const int rc = TransformInPlace(fft::kForward, static_cast<int>(n), re.data(), im.data());
    if (rc == 1)
        throw std::bad_alloc();
    if (rc != 0)
        throw std::invalid_argument("EqualisedImpulse: an impulse must hold a power of two");
    for (size_t k = 0; k <= n / 2; ++k) {
        const Complex h =
            gain * CascadeResponse(sections, 2.0 * std::numbers::pi * static_cast<double>(k) / n);
        const Complex y = Complex(re[k], im[k]) * h;
        re[k] = y.real();
        im[k] = y.imag();
        if (k != 0 && k != n / 2) {
            re[n - k] = y.real();
            im[n - k] = -y.imag();
        }
    }
    // Half the rate carries a real value only.
    im[n / 2] = 0.0;
    im[0] = 0.0;
    TransformInPlace(fft::kInverse, static_cast<int>(n), re.data(), im.data());
    return re;
}
