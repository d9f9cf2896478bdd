// The target step of the Calculate command on a document.

#include <gtest/gtest.h>

#include <cmath>

#include "correction/target_test_synth.h"
#include "document/DocData.h"
#include "wizard/CalculateFit.h"

namespace {

using namespace target_test;

class BuildTargetTest : public ::testing::Test {
protected:
    DocData doc;
    double level = 12345.0;

    void SetUp() override {
        doc.measurements = {Measure(SubModel{.room = TypicalRoom()}),
                            Measure(SubModel{.room = TypicalRoom(), .levelDb = 74.0})};
        doc.crossover = 120;
    }
};

TEST_F(BuildTargetTest, NoMeasurementsChangesNothing) {
    doc.measurements.clear();
    const auto kept = std::make_shared<CCurve>();
    doc.results = {kept};
    EXPECT_FALSE(BuildTarget(doc, 1, level));
    ASSERT_EQ(doc.results.size(), 1u);
    EXPECT_EQ(doc.results[0], kept);
    EXPECT_EQ(doc.crossover, 120);
    EXPECT_EQ(level, 12345.0);
}

TEST_F(BuildTargetTest, LeavesTheAverageAndTheTarget) {
    doc.results = {std::make_shared<CCurve>(), std::make_shared<CCurve>(),
                   std::make_shared<CCurve>()};
    ASSERT_TRUE(BuildTarget(doc, 0, level));
    ASSERT_EQ(doc.results.size(), 2u);
    CCurve& average = *doc.results[0];
    auto* target = dynamic_cast<CTargetCurve*>(doc.results[1].get());
    ASSERT_NE(target, nullptr);

    // The power average of 80 dB and 74 dB: 10 log10((1 + 10^-0.6) / 2) below 80 dB.
    ToDbPhase(average);
    ToDbPhase(*doc.measurements[0]);
    const double expected = 10.0 * std::log10((1.0 + std::pow(10.0, -0.6)) / 2.0);
    for (int i : {10, 100, 200})
        EXPECT_NEAR(average.First()[i] - doc.measurements[0]->First()[i], expected, 1e-9);

    EXPECT_EQ(target->Count(), average.Count());
    EXPECT_EQ(doc.crossover, 120);  // mode 0 keeps the document's crossover
    EXPECT_EQ(doc.fitLower, target->minFit);
    EXPECT_EQ(doc.fitUpper, target->maxFit);
    EXPECT_EQ(target->maxFit, 360.0);
    EXPECT_GE(target->minFit, 15.0 * std::sqrt(2.0));
    EXPECT_EQ(doc.hpOrder, SLOPE_AUTO);
    EXPECT_EQ(doc.minEqFreq, 20);
}

TEST_F(BuildTargetTest, LevelIsTheLowerOfMeasuredAndTargetLevels) {
    doc.hpOrder = SLOPE_4TH;
    doc.hpFreq = 25;
    doc.minEqFreq = 30;
    ASSERT_TRUE(BuildTarget(doc, 0, level));
    CCurve& average = *doc.results[0];
    CCurve& target = *doc.results[1];
    const double lo = 30.0, hi = 360.0 * 2.0 / 3.0;
    const double measured = 20.0 * std::log10(BandRms(average, lo, hi));
    const double raised = 20.0 * std::log10(CurveLevelGain(target, average, lo, hi));
    EXPECT_DOUBLE_EQ(level, std::min(measured, raised));
    // The target peaks at 0 dB, the measurement near 80 dB: the fit places it there.
    EXPECT_GT(level, 60.0);
    EXPECT_LT(level, 85.0);
    EXPECT_EQ(doc.fitLower, 30.0);
    EXPECT_EQ(doc.hpFreq, 25);
    EXPECT_EQ(doc.hpOrder, SLOPE_4TH);
}

TEST_F(BuildTargetTest, ModeOneDetectsTheCrossover) {
    ASSERT_TRUE(BuildTarget(doc, 1, level));
    EXPECT_GE(doc.crossover, 160);
    EXPECT_LE(doc.crossover, 250);
    EXPECT_EQ(doc.fitUpper, std::min(3.0 * doc.crossover, 500.0));
}

TEST_F(BuildTargetTest, AMissingCrossoverIsDetectedRatherThanUsed) {
    doc.crossover = 0;  // a reset document
    ASSERT_TRUE(BuildTarget(doc, 0, level));
    EXPECT_GE(doc.crossover, 160);
    EXPECT_TRUE(std::isfinite(level));
    ToMagPhase(*doc.results[1]);
    double peak = 0.0;
    for (int i = 0; i < doc.results[1]->Count(); ++i)
        peak = std::max(peak, doc.results[1]->First()[i]);
    EXPECT_DOUBLE_EQ(peak, 1.0);
}

TEST_F(BuildTargetTest, SilentMeasurementGivesTheFloorLevel) {
    const auto axis = LogAxis();
    doc.measurements = {MagnitudeCurve(axis, std::vector<double>(axis.size(), 0.0))};
    doc.hpOrder = SLOPE_FLAT;
    ASSERT_TRUE(BuildTarget(doc, 0, level));
    EXPECT_EQ(level, -800.0);
}

}  // namespace
