// The building blocks of the impulse extraction: the test sweep, the circular rotations and the
// two filters, checked against hand-worked buffers and the filters' analytic properties.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <numeric>
#include <vector>

#include "measure/Impulse.h"

namespace {

constexpr double kFs = 48000.0;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

std::vector<double> Sine(double f, int n, double fs = kFs) {
    std::vector<double> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        x[static_cast<std::size_t>(i)] = std::sin(kTwoPi * f * i / fs);
    return x;
}

// Peak amplitude over the second half of a filtered tone, in dB.
double SettledGainDb(const std::vector<double>& y) {
    double peak = 0.0;
    for (std::size_t i = y.size() / 2; i < y.size(); ++i)
        peak = std::max(peak, std::abs(y[i]));
    return 20.0 * std::log10(peak);
}

TEST(SweepReferenceTest, OnePeriodOnATimeAxis) {
    const CurvePtr sweep = SweepReference(65536, kFs);
    ASSERT_EQ(sweep->Count(), 65536);
    EXPECT_EQ(sweep->Kind(), AxisKind::Time);
    EXPECT_EQ(sweep->Format(), DataFormat::Cartesian);
    EXPECT_DOUBLE_EQ(sweep->X()[1], 1.0 / kFs);
    EXPECT_DOUBLE_EQ(sweep->First()[0], 0.0);
    double peak = 0.0;
    for (int i = 0; i < sweep->Count(); ++i) {
        peak = std::max(peak, std::abs(sweep->First()[i]));
        EXPECT_EQ(sweep->Second()[i], 0.0);
    }
    EXPECT_LE(peak, 1.0);
    EXPECT_GT(peak, 0.999);
}

TEST(SweepReferenceTest, ZeroCrossingsCountTheSweptCycles) {
    // f1/k * (1857 - 1) cycles: 12.451171875 Hz at the start, k = ln(1857) / 1.365333 s.
    const CurvePtr sweep = SweepReference(65536, kFs);
    const double k = std::log(1857.0) / (65536.0 / kFs);
    const double cycles = 12.451171875 / k * 1856.0;
    int crossings = 0;
    for (int i = 1; i < sweep->Count(); ++i)
        crossings += (sweep->First()[i - 1] < 0.0) != (sweep->First()[i] < 0.0);
    EXPECT_NEAR(crossings, 2.0 * cycles, 3.0);
}

TEST(SweepReferenceTest, SpectrumFallsThreeDbPerOctave) {
    // An exponential sweep spends equal time in every octave, so its power density goes as 1/f.
    const CurvePtr sweep = SweepReference(65536, kFs);
    const CurvePtr spectrum = Fft(*sweep);
    ASSERT_TRUE(spectrum);
    ASSERT_EQ(spectrum->Count(), 32769);
    EXPECT_DOUBLE_EQ(spectrum->X()[1], 0.732421875);
    const double low = BandRms(*spectrum, 70.0, 140.0);
    const double high = BandRms(*spectrum, 700.0, 1400.0);
    EXPECT_NEAR(20.0 * std::log10(low / high), 10.0, 0.5);
}

TEST(SweepReferenceTest, RejectsImpossibleSizes) {
    EXPECT_THROW(SweepReference(1, kFs), std::invalid_argument);
    EXPECT_THROW(SweepReference(1024, 0.0), std::invalid_argument);
}

TEST(RotationTest, QuietestStretchIsCentredOnTheStart) {
    std::vector<double> x{4, -4, 4, -4, 1, -1, 4, -4};
    EXPECT_EQ(RotateToQuietest(x.data(), 8, 2), 4);
    EXPECT_EQ(x, (std::vector<double>{1, -1, 4, -4, 4, -4, 4, -4}));
}

TEST(RotationTest, QuietestStretchAcrossTheEndWraps) {
    std::vector<double> x{1, 4, -4, 4, -4, 4, -4, -1};
    EXPECT_EQ(RotateToQuietest(x.data(), 8, 2), 7);
    EXPECT_EQ(x, (std::vector<double>{-1, 1, 4, -4, 4, -4, 4, -4}));
}

TEST(RotationTest, QuietestTakesTheFirstOfEqualStretches) {
    std::vector<double> x{1, -1, 4, -4, 1, -1, 4, -4};
    const std::vector<double> before = x;
    EXPECT_EQ(RotateToQuietest(x.data(), 8, 2), 0);
    EXPECT_EQ(x, before);
}

TEST(RotationTest, QuietnessIsMeasuredAroundTheMean) {
    // A constant offset does not make a stretch loud.
    std::vector<double> x{14, 6, 14, 6, 11, 9, 14, 6};
    EXPECT_EQ(RotateToQuietest(x.data(), 8, 2), 4);
}

TEST(RotationTest, LoudestStretchStartsAfterTheFirstSample) {
    std::vector<double> x{1, -1, 1, -1, 5, -5, 1, -1};
    EXPECT_EQ(RotateToLoudest(x.data(), 8, 2), 3);
    EXPECT_EQ(x, (std::vector<double>{-1, 5, -5, 1, -1, 1, -1, 1}));
}

TEST(RotationTest, LoudestStretchNearTheStartWraps) {
    std::vector<double> x{5, -5, 1, -1, 1, -1, 1, -1};
    EXPECT_EQ(RotateToLoudest(x.data(), 8, 2), 7);
    EXPECT_EQ(x, (std::vector<double>{-1, 5, -5, 1, -1, 1, -1, 1}));
}

TEST(RotationTest, PrerollLeavesRoomBeforeTheLoudestStretch) {
    std::vector<double> x{1, -1, 1, -1, 5, -5, 1, -1};
    EXPECT_EQ(RotateToLoudestWithPreroll(x.data(), 8, 2, 1), 2);
    EXPECT_EQ(x, (std::vector<double>{1, -1, 5, -5, 1, -1, 1, -1}));

    std::vector<double> y{5, -5, 1, -1, 1, -1, 1, -1};
    EXPECT_EQ(RotateToLoudestWithPreroll(y.data(), 8, 2, 2), 5);
    EXPECT_EQ(y, (std::vector<double>{-1, 1, -1, 5, -5, 1, -1, 1}));
}

TEST(RotationTest, DegenerateWindowsStayInsideTheBuffer) {
    std::vector<double> x{1, 2, 3};
    EXPECT_EQ(RotateToQuietest(x.data(), 0, 2), 0);
    EXPECT_GE(RotateToLoudest(x.data(), 3, 10), 0);
    EXPECT_LT(RotateToLoudestWithPreroll(x.data(), 3, 10, 50), 3);
    EXPECT_LT(RotateToQuietest(x.data(), 3, 0), 3);
    EXPECT_EQ(std::accumulate(x.begin(), x.end(), 0.0), 6.0);
}

TEST(SecondOrderHighPassTest, BlocksDirectCurrent) {
    std::vector<double> x(48000, 1.0);
    SecondOrderHighPass(x.data(), static_cast<int>(x.size()), kFs, 100.0);
    EXPECT_NEAR(x.back(), 0.0, 1e-9);
    EXPECT_NEAR(x.front(), 1.0, 0.05);  // starts from rest: the step passes at first
}

TEST(SecondOrderHighPassTest, UnityGainAtHalfTheSampleRate) {
    std::vector<double> x(4800);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = i % 2 == 0 ? 1.0 : -1.0;
    SecondOrderHighPass(x.data(), static_cast<int>(x.size()), kFs, 100.0);
    EXPECT_NEAR(SettledGainDb(x), 0.0, 1e-6);
}

TEST(SecondOrderHighPassTest, ButterworthShapeAroundTheCorner) {
    for (const double corner : {10.0, 100.0}) {
        std::vector<double> at = Sine(corner, static_cast<int>(20 * kFs / corner));
        SecondOrderHighPass(at.data(), static_cast<int>(at.size()), kFs, corner);
        EXPECT_NEAR(SettledGainDb(at), -3.01, 0.1) << corner;

        // Second order: 12 dB per octave, |H| = 1 / sqrt(1 + (fc/f)^4).
        std::vector<double> below = Sine(corner / 4, static_cast<int>(40 * kFs / corner));
        SecondOrderHighPass(below.data(), static_cast<int>(below.size()), kFs, corner);
        EXPECT_NEAR(SettledGainDb(below), -24.1, 0.3) << corner;

        std::vector<double> above = Sine(corner * 8, static_cast<int>(10 * kFs / corner));
        SecondOrderHighPass(above.data(), static_cast<int>(above.size()), kFs, corner);
        EXPECT_NEAR(SettledGainDb(above), 0.0, 0.05) << corner;
    }
}

TEST(PeriodicLowPassTest, UnityGainAtDirectCurrent) {
    std::vector<double> x(1000, 0.25);
    PeriodicLowPass(x.data(), static_cast<int>(x.size()), kFs, 2500.0);
    for (const double v : x)
        EXPECT_NEAR(v, 0.25, 1e-12);
}

TEST(PeriodicLowPassTest, HalfSampleRateGainOfAOnePoleFilter) {
    // a / (1 + b) with b = exp(-2 pi fc / fs), a = 1 - b.
    std::vector<double> x(960);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = i % 2 == 0 ? 1.0 : -1.0;
    PeriodicLowPass(x.data(), static_cast<int>(x.size()), kFs, 2500.0);
    const double b = std::exp(-kTwoPi * 2500.0 / kFs);
    for (std::size_t i = 0; i < x.size(); ++i)
        EXPECT_NEAR(std::abs(x[i]), (1.0 - b) / (1.0 + b), 1e-12) << i;
}

TEST(PeriodicLowPassTest, HalfPowerNearTheCorner) {
    std::vector<double> x = Sine(2500.0, 4800);
    PeriodicLowPass(x.data(), static_cast<int>(x.size()), kFs, 2500.0);
    EXPECT_NEAR(SettledGainDb(x), -3.0, 0.1);
}

TEST(PeriodicLowPassTest, WholePeriodsComeOutSettledFromTheFirstSample) {
    // 48 periods of 1 kHz: the buffer is its own continuation, so there is no start transient.
    std::vector<double> x = Sine(1000.0, 48 * 48);
    PeriodicLowPass(x.data(), static_cast<int>(x.size()), kFs, 2500.0);
    for (int i = 0; i < 48; ++i)
        EXPECT_NEAR(x[static_cast<std::size_t>(i)], x[static_cast<std::size_t>(i + 47 * 48)], 1e-12)
            << i;
}

}  // namespace
