#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "measure/Curve.h"

namespace {

// n points from 0 to top Hz, magnitude f^alpha (1 at 0 Hz when alpha is 0), constant phase.
CCurve PowerLaw(int n, double top, double alpha, double phase = 0.3) {
    CCurve c(n, AxisKind::Frequency, DataFormat::MagPhase);
    for (int k = 0; k < n; ++k) {
        const double f = k * top / (n - 1);
        c.X()[k] = f;
        c.First()[k] = (alpha == 0.0 || f == 0.0) ? 1.0 : std::pow(f, alpha);
        c.Second()[k] = phase;
    }
    return c;
}

}  // namespace

TEST(Smooth, FlatCurveStaysFlatOnALogGrid) {
    CCurve c = PowerLaw(8193, 24000, 0.0);
    Smooth(c, 6, 25, 5, 48000, 1);
    EXPECT_EQ(c.Format(), DataFormat::MagPhase);
    // From max(5 Hz, second input frequency) in steps of 2^(1/25), never above the last input.
    const double start = 5.0;
    ASSERT_GT(c.Count(), 250);
    EXPECT_LE(c.Count(), static_cast<int>(std::floor(25 * std::log2(24000 / start))) + 2);
    EXPECT_DOUBLE_EQ(c.X()[0], start);
    for (int k = 0; k < c.Count(); ++k) {
        ASSERT_NEAR(c.First()[k], 1.0, 1e-9) << k;
        ASSERT_NEAR(c.Second()[k], 0.3, 1e-9) << k;
        if (k > 0) {
            ASSERT_NEAR(c.X()[k] / c.X()[k - 1], std::exp2(1.0 / 25), 1e-12);
        }
        ASSERT_LE(c.X()[k], 24000.0);
    }
}

TEST(Smooth, EveryWeightingKeepsAFlatCurveFlat) {
    for (double fraction : {0.2, 1.0, 1.5, 3.0, 12.0, -3.0, -6.0}) {
        CCurve c = PowerLaw(4097, 24000, 0.0);
        Smooth(c, fraction, 12, 20, 20000, 1);
        ASSERT_GT(c.Count(), 100) << fraction;
        for (int k = 0; k < c.Count(); ++k) {
            ASSERT_NEAR(c.First()[k], 1.0, 1e-9) << fraction << " at " << c.X()[k];
        }
    }
}

TEST(Smooth, PowerLawKeepsItsSlope) {
    // On a dense uniform grid the window average of f^2a around f scales exactly as f^2a, so the
    // smoothed curve keeps the slope (only a constant factor depends on the window shape).
    for (double alpha : {1.0, -0.5, 2.0}) {
        CCurve c = PowerLaw(65537, 24000, alpha);
        Smooth(c, 3, 6, 300, 10000, 1);
        ASSERT_GT(c.Count(), 30);
        for (int k = 6; k < c.Count(); ++k) {
            const double slope =
                std::log(c.First()[k] / c.First()[k - 6]) / std::log(c.X()[k] / c.X()[k - 6]);
            ASSERT_NEAR(slope, alpha, 2e-3) << alpha << " at " << c.X()[k];
        }
    }
}

TEST(Smooth, NarrowWindowsInterpolateTheLogPower) {
    // Sparse input: no window holds three points, so each output is a three-point quadratic
    // interpolation of log power, exact for magnitudes of the form exp(quadratic in f).
    std::vector<double> f = {0, 100, 200, 300, 400, 500, 600};
    CCurve c(7, AxisKind::Frequency, DataFormat::MagPhase);
    auto logPower = [](double x) { return 1e-2 * x - 2e-5 * x * x; };
    for (int k = 0; k < 7; ++k) {
        c.X()[k] = f[k];
        c.First()[k] = std::sqrt(std::exp(logPower(f[k])));
        c.Second()[k] = 0.0;
    }
    Smooth(c, 24, 12, 110, 500, 1);
    ASSERT_GT(c.Count(), 10);
    for (int k = 0; k < c.Count(); ++k) {
        EXPECT_NEAR(c.First()[k], std::sqrt(std::exp(logPower(c.X()[k]))), 1e-9) << c.X()[k];
    }
}

TEST(Smooth, OutputGridChoices) {
    CCurve same = PowerLaw(1025, 24000, 0.0);
    Smooth(same, 6, 0, 5, 48000, 1);
    ASSERT_EQ(same.Count(), 1025);
    EXPECT_EQ(same.X()[1024], 24000.0);

    CCurve thirds = PowerLaw(1025, 24000, 0.0);
    Smooth(thirds, 6, -1, 5, 48000, 1);
    ASSERT_EQ(thirds.Count(), 31);
    EXPECT_EQ(thirds.X()[0], 20.0);
    EXPECT_EQ(thirds.X()[2], 31.5);
    EXPECT_EQ(thirds.X()[30], 20000.0);
}

TEST(Smooth, ZeroFrequencyOutputKeepsTheInputValueAtMost) {
    CCurve c = PowerLaw(1025, 24000, 0.0);
    c.First()[0] = 5.0;
    Smooth(c, 6, 0, 5, 48000, 1);
    EXPECT_NEAR(c.First()[0], c.First()[1], 1e-12);
    CCurve d = PowerLaw(1025, 24000, 0.0);
    d.First()[0] = 0.25;
    Smooth(d, 6, 0, 5, 48000, 1);
    EXPECT_NEAR(d.First()[0], 0.25, 1e-12);
}

TEST(Smooth, TooFewPointsLeaveTheCurveAlone) {
    CCurve c = PowerLaw(2, 100, 0.0);
    Smooth(c, 6, 25, 5, 48000, 1);
    EXPECT_EQ(c.Count(), 2);
    CCurve noWidth = PowerLaw(100, 1000, 0.0);
    Smooth(noWidth, 0, 25, 5, 48000, 1);
    EXPECT_EQ(noWidth.Count(), 100);
}

TEST(Smooth, AbsurdGridDensityLeavesTheCurveAlone) {
    CCurve c = PowerLaw(1025, 24000, 0.0);
    Smooth(c, 6, 1e7, 5, 48000, 1);
    EXPECT_EQ(c.Count(), 1025);
}
