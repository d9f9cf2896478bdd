// Filter design, target responses, fit band and the crossover candidate table.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "correction/Target.h"
#include "target_test_synth.h"

namespace {

using namespace target_test;

constexpr double kFs = 48000.0;
const double kButterworthQ = 1.0 / std::numbers::sqrt2;

double Normalised(BiquadKind kind, const Biquad& h, double f) {
    const double ref = kind == BiquadKind::HighPass ? BiquadMagnitude(h, kFs / 2.0, kFs)
                                                    : BiquadMagnitude(h, 0.0, kFs);
    return Db(BiquadMagnitude(h, f, kFs) / ref);
}

TEST(BiquadDesign, ButterworthSectionsHaveTheirTextbookShape) {
    for (double f0 : {25.0, 80.0, 200.0}) {
        SCOPED_TRACE(f0);
        const auto hp = DesignSecondOrder(BiquadKind::HighPass, f0, kButterworthQ, kFs);
        const auto lp = DesignSecondOrder(BiquadKind::LowPass, f0, kButterworthQ, kFs);
        // -3 dB at the corner, -12.3 dB an octave into the stop band, unity in the pass band.
        EXPECT_NEAR(Normalised(BiquadKind::HighPass, hp, f0), -3.01, 0.05);
        EXPECT_NEAR(Normalised(BiquadKind::LowPass, lp, f0), -3.01, 0.05);
        EXPECT_NEAR(Normalised(BiquadKind::HighPass, hp, f0 / 2.0), -12.30, 0.1);
        EXPECT_NEAR(Normalised(BiquadKind::LowPass, lp, f0 * 2.0), -12.30, 0.1);
        EXPECT_NEAR(Normalised(BiquadKind::HighPass, hp, f0 * 20.0), 0.0, 0.01);
        EXPECT_NEAR(Normalised(BiquadKind::LowPass, lp, f0 / 20.0), 0.0, 0.01);
        // Stable poles.
        EXPECT_LT(hp.a2, 1.0);
        EXPECT_LT(std::abs(hp.a1), 1.0 + hp.a2);
    }
}

TEST(BiquadDesign, ZerosSitAtZeroAndNyquist) {
    const auto hp = DesignSecondOrder(BiquadKind::HighPass, 30.0, 0.6, kFs);
    const auto lp = DesignSecondOrder(BiquadKind::LowPass, 30.0, 0.6, kFs);
    EXPECT_EQ(hp.b1, -2.0);
    EXPECT_EQ(lp.b1, 2.0);
    EXPECT_NEAR(BiquadMagnitude(hp, 0.0, kFs), 0.0, 1e-12);
    EXPECT_NEAR(BiquadMagnitude(lp, kFs / 2.0, kFs), 0.0, 1e-9);
    EXPECT_EQ(hp.b0, 1.0);  // monic
}

TEST(BiquadDesign, HigherQPeaksAtTheCorner) {
    const auto hp = DesignSecondOrder(BiquadKind::HighPass, 40.0, 2.0, kFs);
    EXPECT_NEAR(Normalised(BiquadKind::HighPass, hp, 40.0), Db(2.0), 0.05);  // |H(f0)| = Q
}

TEST(BiquadDesign, OverdampedSectionsStayFinite) {
    const auto hp = DesignSecondOrder(BiquadKind::HighPass, 30.0, 0.3, kFs);
    EXPECT_TRUE(std::isfinite(hp.a1));
    EXPECT_NEAR(Normalised(BiquadKind::HighPass, hp, 3000.0), 0.0, 0.05);
}

TEST(BiquadResponseTest, WritesTheComplexResponseOfEveryPoint) {
    const auto h = DesignSecondOrder(BiquadKind::LowPass, 100.0, kButterworthQ, kFs);
    CCurve c(3, AxisKind::Frequency, DataFormat::DbPhase);
    c.X()[0] = 10.0, c.X()[1] = 100.0, c.X()[2] = 1000.0;
    BiquadResponse(h, kFs, c);
    ASSERT_EQ(c.Format(), DataFormat::Cartesian);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(std::hypot(c.First()[i], c.Second()[i]), BiquadMagnitude(h, c.X()[i], kFs),
                    1e-12);
    // A second-order low-pass lags by a quarter turn at its corner.
    EXPECT_NEAR(std::atan2(c.Second()[1], c.First()[1]), -std::numbers::pi / 2.0, 0.02);
}

TEST(ButterworthHighPass, EighthOrderAtThirtyHertz) {
    CCurve c(4, AxisKind::Frequency, DataFormat::MagPhase);
    c.X()[0] = 0.0, c.X()[1] = 15.0, c.X()[2] = 30.0, c.X()[3] = 300.0;
    ButterworthHighPassDb(30.0, 8, c);
    ASSERT_EQ(c.Format(), DataFormat::DbPhase);
    EXPECT_NEAR(c.First()[2], -3.0103, 1e-3);
    EXPECT_NEAR(c.First()[1], -48.16, 0.01);  // 8 x 6 dB an octave below
    EXPECT_NEAR(c.First()[3], 0.0, 1e-6);
    ToMagPhase(c);
    // A 0 Hz point has no level (-800 dB, back to 1e-40 give or take the last bit of pow).
    EXPECT_LE(c.First()[0], kMinMagnitude * (1.0 + 1e-12));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(c.Second()[i], 0.0);
}

TEST(SlopeOrder, TextsFollowTheOrderValues) {
    EXPECT_EQ(SlopeOrderText(SLOPE_AUTO), L"Auto");
    EXPECT_EQ(SlopeOrderText(SLOPE_FLAT), L"Flat");
    EXPECT_EQ(SlopeOrderText(2), L"1st Order");
    EXPECT_EQ(SlopeOrderText(3), L"2nd Order");
    EXPECT_EQ(SlopeOrderText(4), L"3rd Order");
    EXPECT_EQ(SlopeOrderText(SLOPE_8TH), L"8th Order");
    EXPECT_EQ(SlopeOrderText(10), L"");
    EXPECT_EQ(SlopeOrderText(-1), L"");
}

TEST(CrossoverCandidates, CoverOneSixtyToTwoFiftyInFives) {
    SubCrossoverFreqs cursor;
    std::vector<int32_t> seen;
    CfiEntry e;
    for (; cursor.IsValid(); cursor.Next()) {
        cursor.Get(e);
        EXPECT_EQ(e.text, std::to_wstring(e.frequency));
        seen.push_back(e.frequency);
    }
    ASSERT_EQ(seen.size(), 19u);
    EXPECT_EQ(seen.front(), 160);
    EXPECT_EQ(seen.back(), 250);
    for (size_t i = 1; i < seen.size(); ++i)
        EXPECT_EQ(seen[i] - seen[i - 1], 5);
    // Past the end the cursor stays put and hands nothing out.
    cursor.Next();
    EXPECT_EQ(cursor.Index(), 19u);
    e.frequency = -1;
    cursor.Get(e);
    EXPECT_EQ(e.frequency, -1);
}

TEST(CrossoverCandidates, SeekLandsOnTheLastCandidateNotAbove) {
    SubCrossoverFreqs cursor;
    auto seek = [&](int32_t f) { return cursor.Seek(CfiEntry{f, L""}); };
    EXPECT_EQ(seek(100), 0u);
    EXPECT_EQ(seek(160), 0u);
    EXPECT_EQ(seek(164), 0u);
    EXPECT_EQ(seek(165), 1u);
    EXPECT_EQ(seek(250), 18u);
    EXPECT_EQ(seek(100000), 18u);
    EXPECT_TRUE(cursor.IsValid());
}

TEST(FitBand, FollowsOrderCornerAndCrossover) {
    CSubwooferTarget target(10, 20, SLOPE_2ND);
    EXPECT_NEAR(target.MinFitFrequency(), 21.2132, 1e-4);
    target.minEqFrequency = 35;
    EXPECT_EQ(target.MinFitFrequency(), 35.0);

    CSubwooferTarget automatic(40, 20, SLOPE_AUTO);
    EXPECT_NEAR(automatic.MinFitFrequency(), 21.2132, 1e-4);  // corner 20 / 2 is below the floor
    automatic.highPassCorner = 60.0;
    EXPECT_EQ(automatic.MinFitFrequency(), 30.0);

    EXPECT_EQ(target.MaxFitFrequency(), 240.0);  // crossover 80 by default
    target.SetCrossover(200);
    EXPECT_EQ(target.crossoverHz, 200.0);
    EXPECT_EQ(target.MaxFitFrequency(), 500.0);
    target.SetFitCeiling(1e6);
    EXPECT_EQ(target.fitCeiling, 20000.0);
    EXPECT_EQ(target.MaxFitFrequency(), 600.0);
}

TEST(LevelGainTest, RaisesOneCurveToTheOther) {
    const auto axis = LogAxis(1000.0);
    std::vector<double> quiet(axis.size()), loud(axis.size());
    for (size_t i = 0; i < axis.size(); ++i) {
        quiet[i] = 0.1 * (1.0 + 0.5 * std::sin(i * 0.3));
        loud[i] = 4.0 * quiet[i];
    }
    const auto a = MagnitudeCurve(axis, quiet);
    const auto b = MagnitudeCurve(axis, loud);
    EXPECT_NEAR(CurveLevelGain(*a, *b, 20.0, 200.0), 4.0, 1e-9);

    // On a different axis a is resampled first, and only b's points in the band count.
    const auto sparse = MagnitudeCurve({10.0, 30.0, 100.0, 300.0}, {1.0, 1.0, 1.0, 1.0});
    const auto flat = MagnitudeCurve(axis, std::vector<double>(axis.size(), 0.5));
    EXPECT_NEAR(CurveLevelGain(*flat, *sparse, 20.0, 200.0), 2.0, 1e-6);

    CSubwooferTarget target(20, 20, SLOPE_AUTO);
    EXPECT_NEAR(target.LevelGain(*a, *b), 4.0, 1e-9);
}

class EvaluateTest : public ::testing::Test {
protected:
    // A measurement on an axis reaching past half the sample rate.
    CurvePtr Average() const { return Measure(SubModel{.room = TypicalRoom()}, LogAxis(30000.0)); }

    static double PeakOf(CCurve& c) {
        ToMagPhase(c);
        double peak = 0.0;
        for (int i = 0; i < c.Count(); ++i)
            peak = std::max(peak, c.First()[i]);
        return peak;
    }

    static double LevelAt(CCurve& c, double f) {
        ToDbPhase(c);
        int best = 0;
        for (int i = 0; i < c.Count(); ++i) {
            if (std::abs(c.X()[i] - f) < std::abs(c.X()[best] - f))
                best = i;
        }
        return c.First()[best];
    }
};

TEST_F(EvaluateTest, StopsAtHalfTheSampleRate) {
    auto t = Average();
    ASSERT_GT(t->X()[t->Count() - 1], 24000.0);
    CSubwooferTarget target(20, 20, SLOPE_AUTO);
    target.Evaluate(*t);
    ASSERT_GT(t->Count(), 0);
    EXPECT_LE(t->X()[t->Count() - 1], 24000.0);
    EXPECT_EQ(t->Count(), static_cast<int>(LogAxis(24000.0).size()));
}

TEST_F(EvaluateTest, AutoIsAFourthOrderBandPassPeakingAtUnity) {
    auto t = Average();
    CSubwooferTarget target(20, 20, SLOPE_AUTO);
    target.highPassCorner = 25.0;
    target.SetCrossover(160);
    target.Evaluate(*t);
    EXPECT_DOUBLE_EQ(PeakOf(*t), 1.0);
    const double mid = LevelAt(*t, 63.0);
    EXPECT_NEAR(mid, 0.0, 0.3);
    // Two Butterworth sections: -6 dB at each corner, 24 dB an octave beyond.
    EXPECT_NEAR(LevelAt(*t, 25.0) - mid, -6.0, 0.6);
    EXPECT_NEAR(LevelAt(*t, 160.0) - mid, -6.0, 0.6);
    EXPECT_NEAR(LevelAt(*t, 640.0) - LevelAt(*t, 320.0), -24.0, 1.0);
    EXPECT_NEAR(LevelAt(*t, 6.25) - LevelAt(*t, 12.5), -24.0, 1.0);
}

TEST_F(EvaluateTest, FlatIsUnityWhereTheMeasurementHasLevel) {
    const auto axis = LogAxis(1000.0);
    std::vector<double> mag(axis.size(), 3.0);
    mag[5] = 0.0;  // a hole in the measurement
    auto t = MagnitudeCurve(axis, mag);
    CSubwooferTarget target(20, 20, SLOPE_FLAT);
    target.SetCrossover(20000);  // pushes the low-pass out of the way
    target.Evaluate(*t);
    ToMagPhase(*t);
    EXPECT_EQ(t->First()[5], 0.0);
    EXPECT_DOUBLE_EQ(PeakOf(*t), 1.0);
    EXPECT_NEAR(t->First()[0], 1.0, 1e-4);
    EXPECT_NEAR(t->First()[40], 1.0, 1e-4);
}

TEST_F(EvaluateTest, ButterworthOrdersUseTheHighPassFrequency) {
    auto t = MagnitudeCurve({10.0, 15.0, 30.0, 80.0, 120.0}, {1.0, 1.0, 1.0, 1.0, 1.0});
    CSubwooferTarget target(20, 30, SLOPE_8TH);
    target.SetCrossover(250);
    target.Evaluate(*t);
    EXPECT_DOUBLE_EQ(PeakOf(*t), 1.0);
    const double mid = LevelAt(*t, 80.0);
    EXPECT_NEAR(LevelAt(*t, 30.0) - mid, -3.0, 0.3);
    EXPECT_NEAR(LevelAt(*t, 15.0) - mid, -48.2, 0.5);
}

}  // namespace
