// The built-in family tables, the correction built from a calibration curve and its use.
#include <gtest/gtest.h>

#include <cmath>

#include "measure/CalibrationTables.h"
#include "measure/CorrectionManager.h"

namespace {

// A flat unity calibration on a dense logarithmic grid, 1 Hz to 24 kHz.
CurvePtr FlatCalibration() {
    const int n = 400;
    auto c = std::make_shared<CCurve>(n, AxisKind::Frequency, DataFormat::Cartesian);
    for (int i = 0; i < n; ++i) {
        c->X()[i] = std::pow(24000.0, static_cast<double>(i) / (n - 1));
        c->First()[i] = 1.0;
        c->Second()[i] = 0.0;
    }
    return c;
}

double LevelNear(CCurve& curve, double f) {
    ToDbPhase(curve);
    int best = 0;
    for (int i = 0; i < curve.Count(); ++i)
        if (std::fabs(std::log(curve.X()[i] / f)) < std::fabs(std::log(curve.X()[best] / f)))
            best = i;
    return curve.First()[best];
}

}  // namespace

TEST(CalibrationTables, RowsFollowTheDataSheet) {
    struct Row {
        double hz, db, phase;
    };
    const Row v1[] = {{10, -9.062513, 116.984254},
                      {10.281138, -8.94851, 117.076965},
                      {10.57018, -8.830169, 117.13423}};
    const Row v2[] = {{10, 0.537129, 23.917042},
                      {10.281138, 0.575238, 24.553331},
                      {10.57018, 0.619379, 25.201187}};
    for (int version : {1, 2}) {
        const auto table = CalibrationTableCurve(version);
        ASSERT_TRUE(table);
        ASSERT_EQ(table->Count(), 281);
        EXPECT_EQ(table->Format(), DataFormat::DbPhase);
        const Row* rows = version == 1 ? v1 : v2;
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(table->X()[k], rows[k].hz, 1e-6);
            EXPECT_NEAR(table->First()[k], rows[k].db, 1e-9);
            EXPECT_NEAR(table->Second()[k], rows[k].phase, 1e-9);
        }
        for (int k = 0; k < 281; ++k) {
            EXPECT_NEAR(table->X()[k], 10.0 * std::exp2(k / 25.0), 1e-9 * table->X()[k]);
            EXPECT_TRUE(std::isfinite(table->First()[k]) && std::isfinite(table->Second()[k]));
            EXPECT_LT(std::fabs(table->First()[k]), 20.0);
        }
        EXPECT_NEAR(table->X()[280], 23525.34, 0.01);
    }
    EXPECT_FALSE(CalibrationTableCurve(3));
}

TEST(CalibrationCorrection, OnlyVersionsOneToThreeMakeACorrection) {
    const auto cal = FlatCalibration();
    EXPECT_FALSE(MakeCorrection(*cal, 0));
    EXPECT_FALSE(MakeCorrection(*cal, 4));
    for (int v : {1, 2, 3}) {
        const auto m = MakeCorrection(*cal, v);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->Mode(), v);
        ASSERT_TRUE(m->Raw());
        EXPECT_NE(m->Raw().get(), cal.get());
        EXPECT_EQ(m->Raw()->Count(), cal->Count());
    }
}

TEST(CalibrationCorrection, VersionThreeKeepsTheFileRangeAndOffset) {
    const auto cal = FlatCalibration();
    const auto m = MakeCorrection(*cal, 3);
    CCurve& k = *m->Correction();
    ASSERT_GT(k.Count(), 100);
    EXPECT_GE(k.X()[0], 5.0 - 1e-9);
    EXPECT_LE(k.X()[k.Count() - 1], 24000.0 + 1e-6);
    // A flat calibration smooths to itself: only the sensitivity offset remains.
    EXPECT_NEAR(LevelNear(k, 100.0), -22.3, 0.01);
    EXPECT_NEAR(LevelNear(k, 5000.0), -22.3, 0.01);
}

TEST(CalibrationCorrection, VersionsOneAndTwoLieOnTheTableAxis) {
    const auto cal = FlatCalibration();
    for (int v : {1, 2}) {
        const auto m = MakeCorrection(*cal, v);
        CCurve& k = *m->Correction();
        // The smoothing's log grid starts at the table's second row; whether the last row
        // survives depends on rounding at the top end.
        EXPECT_GE(k.Count(), 279);
        EXPECT_LE(k.Count(), 281);
        EXPECT_GE(k.X()[0], 10.0 - 1e-9);
        EXPECT_LE(k.X()[0], 10.3);
        EXPECT_LE(k.X()[k.Count() - 1], 23525.35);
    }
    // Where the version-1 family is flat, the correction is the sensitivity offset.
    const auto m1 = MakeCorrection(*cal, 1);
    EXPECT_NEAR(LevelNear(*m1->Correction(), 5000.0), -7.52, 0.05);
    const auto m2 = MakeCorrection(*cal, 2);
    EXPECT_NEAR(LevelNear(*m2->Correction(), 5000.0), 29.13 + 1.0, 0.05);
}

TEST(CalibrationCorrection, AppliedCorrectionMovesTheResponseOntoItsAxis) {
    const auto manager = MakeCorrection(*FlatCalibration(), 3);
    CCurve response(1000, AxisKind::Frequency, DataFormat::MagPhase);
    for (int i = 0; i < 1000; ++i) {
        response.X()[i] = 5.0 + i * 20.0;
        response.First()[i] = 2.0;
        response.Second()[i] = 0.0;
    }
    response.name = L"position 1";
    AudioSampler::CorManCorrection correction(nullptr, manager);
    correction.Apply(response);
    const CCurve& k = *manager->Correction();
    ASSERT_EQ(response.Count(), k.Count());
    for (int i = 0; i < k.Count(); ++i)
        EXPECT_DOUBLE_EQ(response.X()[i], k.X()[i]);
    EXPECT_EQ(response.name, L"position 1");
    // 2 divided by -22.3 dB.
    EXPECT_NEAR(LevelNear(response, 1000.0), 20.0 * std::log10(2.0) + 22.3, 0.01);
}
