// Crossover and high-pass detection on synthetic measurements with known roll-offs.

#include <gtest/gtest.h>

#include <cmath>

#include "correction/Target.h"
#include "target_test_synth.h"

namespace {

using namespace target_test;

int32_t DetectCrossoverOf(const CurvePtr& m, CSubwooferTarget& target) {
    TargetCurveList list{m};
    SubCrossoverFreqs cursor;
    return target.DetectCrossover(list, cursor);
}

TEST(CrossoverDetection, FindsTheAmplifiersOwnLowPass) {
    for (double lp : {170.0, 200.0, 235.0}) {
        SCOPED_TRACE(lp);
        CSubwooferTarget target(20, 20, SLOPE_AUTO);
        const int32_t xo = DetectCrossoverOf(Measure(SubModel{.lowPass = lp}), target);
        EXPECT_NEAR(xo, lp, 5.0);
        EXPECT_EQ(target.crossover, xo);
        EXPECT_EQ(target.crossoverHz, xo);
    }
}

TEST(CrossoverDetection, StaysNearTheLowPassUnderRoomModes) {
    CSubwooferTarget target(20, 20, SLOPE_AUTO);
    const int32_t xo =
        DetectCrossoverOf(Measure(SubModel{.lowPass = 200.0, .room = TypicalRoom()}), target);
    EXPECT_GE(xo, 190);
    EXPECT_LE(xo, 215);
}

TEST(CrossoverDetection, AlwaysPicksACandidateOrTheDefault) {
    // A low-pass far below the candidates: the nearest one wins.
    CSubwooferTarget low(20, 20, SLOPE_AUTO);
    EXPECT_EQ(DetectCrossoverOf(Measure(SubModel{.lowPass = 60.0}), low), 160);
    // No measurement: nothing is evaluated and the default stays.
    CSubwooferTarget none(20, 20, SLOPE_AUTO);
    TargetCurveList empty;
    SubCrossoverFreqs cursor;
    EXPECT_EQ(none.DetectCrossover(empty, cursor), 80);
    // A search range below the table evaluates nothing either.
    CSubwooferTarget below(20, 20, SLOPE_AUTO);
    below.crossoverSearchHigh = 150;
    TargetCurveList one{Measure(SubModel{})};
    EXPECT_EQ(below.DetectCrossover(one, cursor), 80);
}

TEST(CrossoverDetection, AveragesOverSeveralCurves) {
    CSubwooferTarget target(20, 20, SLOPE_AUTO);
    TargetCurveList list{Measure(SubModel{.lowPass = 180.0}),
                         Measure(SubModel{.lowPass = 220.0, .levelDb = 78.0})};
    SubCrossoverFreqs cursor;
    const int32_t xo = target.DetectCrossover(list, cursor);
    EXPECT_GE(xo, 180);
    EXPECT_LE(xo, 220);
}

struct HighPassCase {
    double corner;
    bool room;

    friend void PrintTo(const HighPassCase& c, std::ostream* os) {
        *os << c.corner << " Hz" << (c.room ? " in a room" : "");
    }
};

class FourthOrderRollOff : public ::testing::TestWithParam<HighPassCase> {};

// A subwoofer whose roll-off has the target's own form is recovered.
TEST_P(FourthOrderRollOff, IsRecovered) {
    const HighPassCase p = GetParam();
    SubModel sub{.hpCorner = p.corner, .hpQ = 0.7, .hpSections = 2};
    if (p.room)
        sub.room = TypicalRoom();
    CSubwooferTarget target(20, 20, SLOPE_AUTO);
    TargetCurveList list{Measure(sub)};
    target.SetCrossover(200);
    target.DetectHighPass(list);
    const double tolerance = p.room ? 0.15 : 0.05;
    EXPECT_NEAR(target.highPassCorner, p.corner, tolerance * p.corner);
    if (!p.room) {
        EXPECT_NEAR(target.highPassQ, 0.7, 0.03);
    }
}

INSTANTIATE_TEST_SUITE_P(Corners, FourthOrderRollOff,
                         ::testing::Values(HighPassCase{25.0, false}, HighPassCase{40.0, false},
                                           HighPassCase{25.0, true}, HighPassCase{30.0, true}));

// The Auto target made from the detected corner and Q, divided by its crossover part.
double DetectedHighPassDb(const CSubwooferTarget& target, double f) {
    const auto h =
        DesignSecondOrder(BiquadKind::HighPass, target.highPassCorner, target.highPassQ, 48000);
    return 2.0 * Db(BiquadMagnitude(h, f, 48000) / BiquadMagnitude(h, 24000.0, 48000));
}

// A second-order roll-off is not of the target's form; the detection must still follow the
// measured slope instead of settling on the lowest corner it tries.
TEST(HighPassDetection, FollowsASecondOrderRollOffUnderRoomModes) {
    const SubModel sub{.hpCorner = 25.0, .hpQ = 0.7, .hpSections = 1, .room = TypicalRoom()};
    CSubwooferTarget target(20, 20, SLOPE_AUTO);
    TargetCurveList list{Measure(sub)};
    target.SetCrossover(200);
    target.DetectHighPass(list);
    EXPECT_GT(target.highPassCorner, 12.0);
    for (double f : {15.0, 20.0, 25.0, 30.0, 40.0, 60.0}) {
        const double truth = Db(std::abs(AnalogHighPass2(f, 25.0, 0.7)));
        EXPECT_NEAR(DetectedHighPassDb(target, f), truth, 2.5) << f << " Hz";
    }
}

TEST(HighPassDetection, FindsTheCornerOnARawLinearAxisToo) {
    std::vector<double> axis;
    for (int i = 0; i < 2049; ++i)
        axis.push_back(i * 48000.0 / 16384.0);
    CSubwooferTarget target(20, 20, SLOPE_AUTO);
    TargetCurveList list{Measure(SubModel{.hpCorner = 35.0, .hpSections = 2}, axis)};
    target.SetCrossover(200);
    target.DetectHighPass(list);
    EXPECT_NEAR(target.highPassCorner, 35.0, 3.5);
}

TEST(HighPassDetection, LowCrossoverFallsBackToFifteenHertz) {
    for (int32_t xo : {5, 0, -20}) {
        CSubwooferTarget target(20, 20, SLOPE_AUTO);
        target.SetCrossover(xo);
        TargetCurveList list{Measure(SubModel{})};
        target.DetectHighPass(list);
        EXPECT_EQ(target.highPassCorner, 15.0);
        EXPECT_EQ(target.highPassQ, 1.0);
    }
    // A crossover too low for any band of an octave above 15 Hz evaluates nothing useful.
    CSubwooferTarget narrow(20, 20, SLOPE_AUTO);
    narrow.SetCrossover(25);
    TargetCurveList list{Measure(SubModel{})};
    narrow.DetectHighPass(list);
    EXPECT_EQ(narrow.highPassCorner, 15.0);
    EXPECT_EQ(narrow.highPassQ, 1.0);
}

TEST(HighPassDetection, NoCurvesKeepsTheFallback) {
    CSubwooferTarget target(20, 20, SLOPE_AUTO);
    TargetCurveList list{nullptr, std::make_shared<CCurve>()};
    target.DetectHighPass(list);
    EXPECT_EQ(target.highPassCorner, 15.0);
    EXPECT_EQ(target.highPassQ, 1.0);
}

}  // namespace
