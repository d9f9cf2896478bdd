// The built-in family tables, the correction built from a calibration curve and its use.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>

#include "measure/CalibrationTables.h"
#include "measure/CorrectionManager.h"
#include "measure/Impulse.h"
#include "measure/impulse_synth.h"

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

double LevelNear(const CCurve& c, double f) {
    CCurve curve = c;
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
    const CCurve& k = *m->Correction();
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
        const CCurve& k = *m->Correction();
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

namespace {

bool SameBits(const CCurve& a, const CCurve& b) {
    const auto same = [n = a.Count()](const double* x, const double* y) {
        return n == 0 || std::memcmp(x, y, sizeof(double) * static_cast<size_t>(n)) == 0;
    };
    return a.Count() == b.Count() && a.Format() == b.Format() && same(a.X(), b.X()) &&
           same(a.First(), b.First()) && same(a.Second(), b.Second());
}

// Runs work on two threads at once and hands back both results.
template <class Work>
std::pair<CurvePtr, CurvePtr> OnTwoThreads(Work work) {
    CurvePtr first, second;
    std::thread other([&] { second = work(); });
    first = work();
    other.join();
    return {first, second};
}

}  // namespace

// Two measurements share one correction and one reference spectrum: applied from two threads at
// once, each gets what it gets alone, and what they share stays as it was built. That holds too
// for a reference left Cartesian and for a correction whose smoothing failed (left Cartesian).
TEST(CalibrationCorrection, OneCorrectionServesTwoThreadsAlike) {
    synth::CaptureOptions options;
    options.noiseRms = 1e-4;
    options.seed = 3;
    const std::vector<double> samples = synth::Capture(synth::TypicalRoom(), options);
    const CurvePtr reference = Fft(*SweepReference(kSweepLength, kSweepRate));
    ASSERT_EQ(reference->Format(), DataFormat::Cartesian);
    const CCurve referenceBefore = *reference;
    const auto manager = MakeCorrection(*FlatCalibration(), 3);
    const CCurve correctionBefore = *manager->Correction();
    const auto shared = std::make_shared<AudioSampler::CorManCorrection>(reference, manager);
    const auto measure = [&] {
        ImpulseContext context;
        context.capture = std::make_shared<CaptureBlock>();
        context.capture->samples = samples;
        context.capture->capturedCount = 3 * kSweepLength;
        context.correction = shared;
        context.smoothing = kMeasurementSmoothing;
        return MeasureResponse(context);
    };
    // The threads go first, while what they share is as it was built.
    const auto [one, two] = OnTwoThreads(measure);
    const CurvePtr alone = measure();
    EXPECT_TRUE(SameBits(*one, *alone));
    EXPECT_TRUE(SameBits(*two, *alone));
    EXPECT_TRUE(SameBits(*reference, referenceBefore));
    EXPECT_TRUE(SameBits(*manager->Correction(), correctionBefore));

    // Two calibration points are too few to smooth.
    auto sparse = std::make_shared<CCurve>(2, AxisKind::Frequency, DataFormat::MagPhase);
    sparse->X()[0] = 20.0, sparse->X()[1] = 2000.0;
    sparse->First()[0] = 1.0, sparse->First()[1] = 2.0;
    sparse->Second()[0] = sparse->Second()[1] = 0.0;
    const auto unsmoothed = MakeCorrection(*sparse, 3);
    ASSERT_EQ(unsmoothed->Correction()->Format(), DataFormat::Cartesian);
    const CCurve unsmoothedBefore = *unsmoothed->Correction();
    const AudioSampler::CorManCorrection plain(nullptr, unsmoothed);
    const auto apply = [&] {
        CurvePtr response = Clone(*alone);
        plain.Apply(*response);
        return response;
    };
    const auto [applied1, applied2] = OnTwoThreads(apply);
    const CurvePtr appliedAlone = apply();
    EXPECT_TRUE(SameBits(*applied1, *appliedAlone));
    EXPECT_TRUE(SameBits(*applied2, *appliedAlone));
    EXPECT_TRUE(SameBits(*unsmoothed->Correction(), unsmoothedBefore));
}
