#include "wizard/Settle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

// Levels in dB at 10, 20 ... 400 Hz, from level(Hz).
CurvePtr SettleCurve(const std::function<double(double)>& level) {
    auto curve = std::make_shared<CCurve>(40, AxisKind::Frequency, DataFormat::DbPhase);
    for (int i = 0; i < 40; ++i) {
        curve->X()[i] = 10.0 * (i + 1);
        curve->First()[i] = level(curve->X()[i]);
    }
    return curve;
}

}  // namespace

TEST(Settle, TheStandardErrorOfThePowerAverageIsPerPointInTheBandAndItsLargestIsNamed) {
    // Equal positions: no spread, settled at 0.
    const CurvePtr flat = SettleCurve([](double) { return 0.0; });
    const auto same = EstimateSettle({flat, flat, flat});
    ASSERT_TRUE(same);
    EXPECT_EQ(same->positions, 3);
    EXPECT_DOUBLE_EQ(same->largestDb, 0.0);
    EXPECT_EQ(same->frequencyHz.front(), 30.0);  // the band 25..250 Hz
    EXPECT_EQ(same->frequencyHz.back(), 250.0);
    EXPECT_EQ(SettleText(*same), L"Average settled: \u00b10.0 dB (25\u2013250 Hz)");

    // Powers 1 and 3 at 50 Hz: mean 2, standard error 1, so 10 log10(1.5) dB; powers 1 and 1.2
    // elsewhere. A wider spread outside the band is not looked at.
    const CurvePtr other = SettleCurve([](double f) {
        return f == 50.0 ? 10.0 * std::log10(3.0) : f > 250.0 ? 20.0 : 10.0 * std::log10(1.2);
    });
    const auto spread = EstimateSettle({flat, other});
    ASSERT_TRUE(spread);
    EXPECT_NEAR(spread->largestDb, 10.0 * std::log10(1.5), 1e-9);
    EXPECT_EQ(spread->largestHz, 50.0);
    EXPECT_NEAR(spread->errorDb[0], 10.0 * std::log10(1.0 + 0.1 / 1.1), 1e-9);
    EXPECT_FALSE(spread->Settled());
    EXPECT_EQ(SettleText(*spread),
              L"Another position could still move the average by up to 1.8 dB near 50 Hz");
    const auto lenient = EstimateSettle({flat, other}, 25, 250, 2.0);
    ASSERT_TRUE(lenient);
    EXPECT_TRUE(lenient->Settled());
    EXPECT_EQ(SettleText(*lenient), L"Average settled: \u00b11.8 dB (25\u2013250 Hz)");

    // Nothing to estimate from.
    EXPECT_FALSE(EstimateSettle({flat}));
    EXPECT_FALSE(EstimateSettle({flat, nullptr}));
    EXPECT_FALSE(EstimateSettle({flat, flat}, 500, 600));
}
