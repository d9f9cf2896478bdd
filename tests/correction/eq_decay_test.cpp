// The equaliser in time: its group delay against the derivative of its phase, and a mode's
// decay through the section that notches it.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "correction/EqDecay.h"

namespace {

constexpr double kRate = Decay::kImpulseRate;
constexpr double kPi = std::numbers::pi;

// A peaking section of the bilinear form at the impulses' rate, appended to s.
void AddPeak(SectionArrays& s, double f0, double gainDb, double q) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w = 2.0 * kPi * f0 / kRate;
    const double alpha = std::sin(w) / (2.0 * q);
    const double a0 = 1.0 + alpha / a;
    s.b0.push_back((1.0 + alpha * a) / a0);
    s.b1.push_back(-2.0 * std::cos(w) / a0);
    s.b2.push_back((1.0 - alpha * a) / a0);
    s.a0.push_back(1.0);
    s.a1.push_back(-2.0 * std::cos(w) / a0);
    s.a2.push_back((1.0 - alpha / a) / a0);
}

double Phase(const SectionArrays& s, double omega) {
    return std::arg(CascadeResponse(s, omega));
}

TEST(EqDecay, GroupDelayIsTheDerivativeOfThePhase) {
    SectionArrays s;
    AddPeak(s, 45.0, -9.0, 6.0);
    AddPeak(s, 120.0, 4.0, 2.0);
    // A zero and a delay.
    s.b0.push_back(0.5);
    s.b1.push_back(0.3);
    s.b2.push_back(0.0);
    s.a0.push_back(1.0);
    s.a1.push_back(0.0);
    s.a2.push_back(0.0);
    const std::vector<double> f{10, 30, 45, 60, 120, 400, 1400};
    const std::vector<double> delay = EqualiserGroupDelay(s, kRate, f);
    for (size_t i = 0; i < f.size(); ++i) {
        const double w = 2 * kPi * f[i] / kRate, dw = 1e-6;
        double dphi = Phase(s, w + dw) - Phase(s, w - dw);
        dphi = std::remainder(dphi, 2 * kPi);
        const double numeric = -dphi / (2 * dw) / kRate;
        EXPECT_NEAR(delay[i], numeric, 1e-6 * std::max(1.0, std::abs(numeric) * kRate) / kRate)
            << f[i] << " Hz";
    }
    // The mode's notch delays most at its centre.
    EXPECT_GT(std::abs(delay[2]), std::abs(delay[0]));
}

TEST(EqDecay, NotchingAModeAtLeastHalvesItsDecayAndGainOnlyScales) {
    SectionArrays mode, notch;
    AddPeak(mode, 50.0, 10.0, 8.0);
    AddPeak(notch, 50.0, -10.0, 8.0);
    Decay::Signal impulse(Decay::kImpulseLength, 0.0);
    impulse[3] = 1.0;
    // The room's mode as a measured impulse, then the equaliser's notch over it.
    const Decay::Signal room = EqualisedImpulse(impulse, mode, 1.0);
    const Decay::Signal equalised = EqualisedImpulse(room, notch, 2.0);
    const auto measured = Decay::DecayTimes(Decay::BandEnergies(room, kRate), kRate);
    const auto predicted = Decay::DecayTimes(Decay::BandEnergies(equalised, kRate), kRate);
    const size_t band50 = 4;
    ASSERT_EQ(measured[band50].nominalHz, 50.0);
    ASSERT_EQ(measured[band50].status, Decay::DecayStatus::Measured);
    ASSERT_EQ(predicted[band50].status, Decay::DecayStatus::Measured);
    EXPECT_LE(predicted[band50].seconds, 0.5 * measured[band50].seconds);
    // The notch is the mode's exact inverse: what is left is the impulse, twice as high.
    for (size_t i = 0; i < impulse.size(); ++i)
        EXPECT_NEAR(equalised[i], 2.0 * impulse[i], 1e-9);
}

}  // namespace
