// Time and decay of impulses with known answers: a pure delay, and a resonance whose poles give
// its decay time.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <stdexcept>
#include <vector>

#include "measure/Decay.h"

namespace {

constexpr double kRate = Decay::kImpulseRate;
constexpr double kPi = std::numbers::pi;

// A peaking resonance (bilinear form) at the impulses' rate, struck at sample 0, with white
// noise of the given RMS; T60 of its poles in seconds.
Decay::Signal Resonance(double f0, double gainDb, double q, double noiseRms, double& t60) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w = 2.0 * kPi * f0 / kRate;
    const double alpha = std::sin(w) / (2.0 * q);
    const double a0 = 1.0 + alpha / a;
    const double b0 = (1.0 + alpha * a) / a0, b1 = -2.0 * std::cos(w) / a0,
                 b2 = (1.0 - alpha * a) / a0, a1 = b1, a2 = (1.0 - alpha / a) / a0;
    // The pole radius is sqrt(a2): amplitude falls by 1000 in ln(1000) / -ln(r) samples.
    t60 = std::log(1000.0) / (-0.5 * std::log(a2)) / kRate;
    Decay::Signal h(Decay::kImpulseLength);
    std::mt19937 gen(5);
    std::normal_distribution<double> noise(0.0, noiseRms);
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (size_t i = 0; i < h.size(); ++i) {
        const double x = i == 0 ? 1.0 : 0.0;
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        h[i] = y + noise(gen);
    }
    return h;
}

const Decay::BandDecay& Band(const std::vector<Decay::BandDecay>& bands, double nominal) {
    for (const auto& b : bands)
        if (b.nominalHz == nominal)
            return b;
    throw std::logic_error("no such band");
}

TEST(Decay, PureDelayThroughTheDecimationHasAFlatGroupDelayAndOneEnvelopePeak) {
    // 10 ms at 48 kHz: 480 samples, sample 30 once decimated.
    std::vector<double> period(65536, 0.0);
    period[480] = 1.0;
    const std::vector<float> stored = Decay::DecimateImpulse(period.data(), 65536);
    ASSERT_EQ(stored.size(), static_cast<size_t>(Decay::kImpulseLength));
    const Decay::Signal h(stored.begin(), stored.end());

    const Decay::Spectrum delay = Decay::GroupDelay(h, kRate);
    ASSERT_FALSE(delay.frequencies.empty());
    EXPECT_NEAR(delay.frequencies.front(), 10.0, 1e-9);
    for (size_t i = 0; i < delay.values.size(); ++i)
        EXPECT_NEAR(delay.values[i], 0.010, 1e-6) << delay.frequencies[i] << " Hz";

    // The level is kept: a unit impulse stays a unit step.
    const Decay::Signal step = Decay::StepResponse(h);
    EXPECT_NEAR(step.back(), 1.0, 1e-3);
    const Decay::Signal etc = Decay::EnergyTimeDb(Decay::EnergyTime(h));
    EXPECT_EQ(std::max_element(etc.begin(), etc.end()) - etc.begin(), 30);
    EXPECT_LT(etc[300], -40.0);

    // A delay into the wrap-around (a response starting just before the period) reads as an
    // early one, not as a period late.
    Decay::Signal early(Decay::kImpulseLength, 0.0);
    early[Decay::kImpulseLength - 6] = 1.0;
    for (double v : Decay::GroupDelay(early, kRate).values)
        EXPECT_NEAR(v, -6.0 / kRate, 1e-9);
}

TEST(Decay, ResonanceDecayTimeWaterfallAndNoiseFloor) {
    double t60 = 0.0;
    const Decay::Signal h = Resonance(50.0, 10.0, 8.0, 1e-7, t60);
    ASSERT_GT(t60, 0.4);

    const std::vector<Decay::BandDecay> bands =
        Decay::DecayTimes(Decay::BandEnergies(h, kRate), kRate);
    ASSERT_EQ(bands.size(), 11u);
    EXPECT_EQ(bands.front().nominalHz, 20.0);
    EXPECT_EQ(bands.back().nominalHz, 200.0);
    const Decay::BandDecay& mode = Band(bands, 50);
    ASSERT_EQ(mode.status, Decay::DecayStatus::Measured);
    EXPECT_NEAR(mode.seconds, t60, 0.05 * t60);
    // Far from the mode the band rings only as long as its own filter does.
    const Decay::BandDecay& far = Band(bands, 160);
    ASSERT_EQ(far.status, Decay::DecayStatus::Measured);
    EXPECT_LT(far.seconds, 0.3 * t60);

    // Each later slice of the waterfall lies lower by the decay over its start time.
    const Decay::Waterfall w = Decay::CumulativeSpectralDecay(h, kRate);
    ASSERT_EQ(w.starts.size(), 21u);
    EXPECT_NEAR(w.windowSeconds, 0.3, 1e-9);
    size_t at50 = 0;
    for (size_t k = 0; k < w.frequencies.size(); ++k)
        if (std::abs(w.frequencies[k] - 50.0) < std::abs(w.frequencies[at50] - 50.0))
            at50 = k;
    // (From 100 ms, past the direct part of the section.)
    const std::vector<double> early = Decay::SliceDb(w, 5), late = Decay::SliceDb(w, 15);
    EXPECT_NEAR(early[at50] - late[at50], 60.0 * (w.starts[15] - w.starts[5]) / t60, 1.0);

    // Mean of one: the same figures.
    const auto mean =
        Decay::DecayTimes(Decay::MeanBandEnergies({Decay::BandEnergies(h, kRate)}), kRate);
    EXPECT_DOUBLE_EQ(Band(mean, 50).seconds, mode.seconds);

    // A noise floor 30 dB under the band's peak leaves too little range for T20.
    double unused = 0.0;
    const Decay::Signal noisy = Resonance(50.0, 10.0, 8.0, 1e-2, unused);
    const auto noisyBands = Decay::DecayTimes(Decay::BandEnergies(noisy, kRate), kRate);
    EXPECT_EQ(Band(noisyBands, 50).status, Decay::DecayStatus::NoisyBand);
    EXPECT_LT(Band(noisyBands, 50).dynamicRangeDb, Decay::kMinDynamicRangeDb);

    EXPECT_THROW(Decay::EnergyTime(Decay::Signal(1000, 0.0)), std::invalid_argument);
}

}  // namespace
