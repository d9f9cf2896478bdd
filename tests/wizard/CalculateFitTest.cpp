// The whole fit as the Calculate step runs it: its failures, its document results and the
// quality it reaches on synthetic rooms.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "correction/EqResult.h"
#include "correction/fit_support.h"
#include "document/DocData.h"
#include "sim/SimRoomEqualiser.h"
#include "sublink/BaseConfig.h"
#include "threading/Errors.h"
#include "wizard/CalculateFit.h"
#include "wizard/UploadImage.h"

using namespace fittest;

namespace {

constexpr uint16_t kKettrin2 = 0x114;

const Room kRooms[] = {
    {22.0, false, 100.0, {{42, 9, 6}, {68, 6, 8}, {55, -8, 5}, {110, 5, 4}, {31, -6, 3}}, 0.0},
    {30.0, false, 80.0, {{36, 10, 10}, {85, -10, 4}, {52, 7, 5}, {140, 4, 6}}, -6.0},
    {18.0, true, 120.0, {{28, 6, 4}, {47, 8, 7}, {63, -7, 6}, {95, 6, 5}, {160, -5, 4}}, 4.0},
};

// A document ready for the fit: [measurement, ideal target], fit band like the target step's.
void Prepare(DocData& doc, const Room& room) {
    doc.modelId = kKettrin2;
    doc.hpOrder = 0;
    doc.fitLower = std::max(room.highPassHz / 2.0, 15.0 * std::numbers::sqrt2);
    doc.fitUpper = std::min(3.0 * room.crossoverHz, 500.0);
    doc.results = {Measurement(room), IdealTarget(room)};
}

bool AllPolesInside(const EqResult& eq) {
    for (const EqBand& b : eq.bands)
        if (!(LargerRootModulus(2.0 * b.c4, 2.0 * b.c3) < 1.0))
            return false;
    return true;
}

std::wstring ErrorOf(DocData& doc, double level) {
    try {
        FitEqualizer(doc, level);
    } catch (const tsl::wruntime_error& e) {
        return e.wwhat();
    }
    return L"";
}

}  // namespace

TEST(FitEqualizerFailures, AnUnknownModelIsNamedAndNothingChanges) {
    for (uint16_t id : {uint16_t{0}, uint16_t{0x11A}}) {
        DocData doc;
        Prepare(doc, kRooms[0]);
        doc.modelId = id;
        wchar_t hex[16];
        std::swprintf(hex, 16, L"0x%04X", static_cast<unsigned>(id));
        EXPECT_NE(ErrorOf(doc, 0.0).find(hex), std::wstring::npos) << id;
        EXPECT_EQ(doc.results.size(), 2u);
        EXPECT_EQ(doc.eq.valid, 0);
    }
}

TEST(FitEqualizerFailures, TheResultListMustHoldTwoOrThreeCurves) {
    for (size_t count : {0u, 1u, 4u}) {
        DocData doc;
        Prepare(doc, kRooms[0]);
        doc.results.resize(count, doc.results[0]);
        EXPECT_EQ(ErrorOf(doc, 0.0), L"Critical error, expected 2 curves.") << count;
        EXPECT_EQ(doc.eq.valid, 0);
    }
    DocData doc;
    Prepare(doc, kRooms[0]);
    doc.results[1] = nullptr;
    EXPECT_EQ(ErrorOf(doc, 0.0), L"Critical error, expected 2 curves.");
}

TEST(FitEqualizerFailures, InvalidValuesFailClearlyOrStayHarmless) {
    // A target that is not a number inside the band cannot be fitted.
    DocData doc;
    Prepare(doc, kRooms[0]);
    doc.results[1]->First()[100] = std::nan("");
    EXPECT_NE(ErrorOf(doc, 0.0).find(L"invalid"), std::wstring::npos);
    // A measurement point that is not a number counts as no signal; the bands stay finite.
    DocData bad;
    Prepare(bad, kRooms[0]);
    bad.results[0]->First()[100] = std::nan("");
    ASSERT_TRUE(FitEqualizer(bad, 0.0));
    EXPECT_TRUE(BuildEqBlock(bad.eq, false, 224).has_value());
    // Too short a curve is refused.
    DocData tiny;
    Prepare(tiny, kRooms[0]);
    Resize(*tiny.results[0], 1);
    Resize(*tiny.results[1], 1);
    EXPECT_NE(ErrorOf(tiny, 0.0).find(L"too few points"), std::wstring::npos);
    // So is a damaged document with a huge number of points inside the equaliser band.
    DocData huge;
    Prepare(huge, kRooms[0]);
    std::vector<double> axis;
    for (int i = 0; i < 9000; ++i)
        axis.push_back(1.0 + i * 0.15);
    huge.results[1] = CurveFrom(axis, std::vector<cplx>(axis.size(), cplx(1.0, 0.0)));
    EXPECT_NE(ErrorOf(huge, 0.0).find(L"too many points"), std::wstring::npos);
}

TEST(FitEqualizerResults, AnOldCalculatedCurveIsReplaced) {
    DocData doc;
    Prepare(doc, kRooms[0]);
    auto old = Clone(*doc.results[0]);
    doc.results.push_back(old);
    ASSERT_TRUE(FitEqualizer(doc, 0.0));
    ASSERT_EQ(doc.results.size(), 3u);
    EXPECT_NE(doc.results[2], old);
    EXPECT_EQ(doc.eq.valid, 1);
    EXPECT_EQ(doc.eq.bands.size(), 10u);
    EXPECT_EQ(std::fmod(doc.eq.gain * 2.0, 1.0), 0.0);
}

TEST(FitEqualizerResults, AMeasurementOnTargetNeedsNoSections) {
    // The measurement is the target 6 dB up: the correction is flat and nothing is grown.
    DocData doc;
    Prepare(doc, kRooms[0]);
    doc.results[0] = Clone(*doc.results[1]);
    Scale(*doc.results[0], 2.0, 0.0);
    ASSERT_TRUE(FitEqualizer(doc, 20.0 * std::log10(2.0)));
    for (const EqBand& b : doc.eq.bands)
        EXPECT_EQ(b, kIdentityBand);
    EXPECT_EQ(doc.eq.gain, 0.0);
    const Deviation d = LevelDeviation(*doc.results[2], *doc.results[0], 5.0, 24000.0);
    EXPECT_LT(d.maxDb, 1e-6);
    // The target is shown at the level the fit aimed at.
    EXPECT_LT(LevelDeviation(*doc.results[1], *doc.results[0], 10.0, 200.0).maxDb, 1e-6);
}

TEST(FitEqualizerResults, TheUpperLimitIsCappedAt250Hz) {
    DocData a;
    Prepare(a, kRooms[2]);
    a.fitUpper = 500.0;
    DocData b;
    Prepare(b, kRooms[2]);
    b.fitUpper = 250.0;
    ASSERT_TRUE(FitEqualizer(a, 4.0));
    ASSERT_TRUE(FitEqualizer(b, 4.0));
    EXPECT_EQ(a.eq, b.eq);
}

TEST(FitEqualizerResults, AFixedHighPassOrderFitsFromTheMinimumEqFrequency) {
    // With a fixed order the lower limit is the minimum EQ frequency, not the stored limit.
    DocData a;
    Prepare(a, kRooms[0]);
    a.hpOrder = 3;
    a.minEqFreq = 30;
    a.fitLower = 5.0;
    DocData b;
    Prepare(b, kRooms[0]);
    b.hpOrder = 0;
    b.fitLower = 30.0;
    ASSERT_TRUE(FitEqualizer(a, 0.0));
    ASSERT_TRUE(FitEqualizer(b, 0.0));
    EXPECT_EQ(a.eq, b.eq);
}

TEST(FitSectionsPoints, TheCorrectionIsShapedAndItsBoostLimited) {
    // A -20 dB dip at 60 Hz asks +20 dB; the fit points never ask more than +6.02 dB, are unity
    // well below the band and no higher than unity well above it.
    Room room = kRooms[0];
    room.modes = {{60.0, -20.0, 8.0}};
    const CurvePtr measured = Measurement(room);
    const CurvePtr target = IdealTarget(room);
    EqFitState state(3000, 10, target.get());
    FitSections(state, *measured, 30.0, 200.0, 0.0);
    ASSERT_FALSE(state.points.empty());
    double largest = 0.0;
    for (const FitPoint& p : state.points) {
        const double f = p.omega * 3000.0 / (2.0 * kPi);
        largest = std::max(largest, p.r);
        if (f < 30.0 * std::numbers::sqrt2 / 2.0) {
            EXPECT_DOUBLE_EQ(p.r, 1.0) << f;
        }
        if (f >= 2.0 * 400.0 / std::numbers::sqrt2) {
            EXPECT_LE(p.r, 1.0) << f;
        }
    }
    EXPECT_LE(largest, 2.0 + 1e-12);
    EXPECT_GT(largest, 1.9);
    EXPECT_LE(state.points.back().omega, kPi);
}

// The equalised response against the target on rooms with modes and dips: close within the
// fit band, stable sections, and bands that convert to the coefficient block.
TEST(FitEqualizerQuality, SyntheticRoomsAreEqualisedTowardsTheTarget) {
    for (size_t i = 0; i < std::size(kRooms); ++i) {
        DocData doc;
        Prepare(doc, kRooms[i]);
        const double before = LevelDeviation(*doc.results[0], *doc.results[1], doc.fitLower,
                                             std::min(doc.fitUpper, 250.0))
                                  .rmsDb;
        ASSERT_TRUE(FitEqualizer(doc, kRooms[i].levelDb));
        const double lo = doc.fitLower;
        const double hi = std::min(doc.fitUpper, 250.0);
        const Deviation d = LevelDeviation(*doc.results[2], *doc.results[1], lo, hi);
        const Deviation inner =
            LevelDeviation(*doc.results[2], *doc.results[1], lo * std::numbers::sqrt2, hi);
        std::printf(
            "room %zu: band %.1f-%.1f Hz, before %.2f dB rms, after %.2f dB rms "
            "(max %.2f dB), above %.1f Hz %.2f dB rms, gain %.1f dB\n",
            i, lo, hi, before, d.rmsDb, d.maxDb, lo * std::numbers::sqrt2, inner.rmsDb,
            doc.eq.gain);
        EXPECT_LT(d.rmsDb, 2.0) << "room " << i;
        EXPECT_LT(d.rmsDb, before / 2.0) << "room " << i;
        EXPECT_TRUE(AllPolesInside(doc.eq)) << "room " << i;
        EXPECT_TRUE(BuildEqBlock(doc.eq, false, 224).has_value()) << "room " << i;
        EXPECT_TRUE(BuildEqBlock(doc.eq, false, 512).has_value()) << "room " << i;
    }
}

// The Calculate step's road: the average of five positions, the detected target, the fit. The
// crossover lies inside the detection's candidate range.
TEST(FitEqualizerQuality, AveragedPositionsWithADetectedTarget) {
    for (size_t i = 0; i < std::size(kRooms); ++i) {
        DocData doc;
        doc.modelId = kKettrin2;
        for (int pos = 0; pos < 5; ++pos) {
            Room room = kRooms[i];
            room.crossoverHz = 200.0;
            for (RoomMode& m : room.modes) {
                m.gainDb *= 0.7 + 0.15 * pos;
                m.f0 *= 1.0 + 0.02 * (pos - 2);
            }
            doc.measurements.push_back(Measurement(room));
        }
        double level = 0.0;
        ASSERT_TRUE(BuildTarget(doc, 1, level));
        ASSERT_TRUE(FitEqualizer(doc, level));
        const double lo = doc.fitLower;
        const double hi = std::min(doc.fitUpper, 250.0);
        const Deviation d = LevelDeviation(*doc.results[2], *doc.results[1], lo, hi);
        std::printf(
            "averaged room %zu: crossover %d Hz, band %.1f-%.1f Hz, %.2f dB rms "
            "(max %.2f dB)\n",
            i, doc.crossover, lo, hi, d.rmsDb, d.maxDb);
        EXPECT_LT(d.rmsDb, 1.0) << "room " << i;
        EXPECT_TRUE(AllPolesInside(doc.eq)) << "room " << i;
        EXPECT_TRUE(BuildEqBlock(doc.eq, false, 224).has_value()) << "room " << i;
    }
}

// A refined equaliser the block cannot hold gives way to exactly the classic fit of the same
// document: the same equaliser, target level and calculated curve.
TEST(FitEqualizerResults, TheClassicFallbackIsTheClassicFit) {
    const auto* model = CUsbController::FindModelById(0x100);
    ASSERT_NE(model, nullptr);
    DocData refined, classic;
    for (DocData* doc : {&refined, &classic}) {
        Prepare(*doc, kRooms[1]);
        doc->modelId = 0x100;
    }
    CCurve measured = *refined.results[0], target = *refined.results[1];
    const auto [low, high] = FitLimits(refined);
    const FitOutcome own =
        FitEqualizerCurves(measured, target, model->eqSampleRate, model->eqBandCount, low, high,
                           -12.0, FitMethod::Refined, BoostLimit(refined.house));
    ASSERT_FALSE(BuildUploadImage(own.eq, model, false));
    classic.fitMethod = FitMethod::Classic;
    ASSERT_TRUE(FitEqualizer(refined, -12.0));
    ASSERT_TRUE(FitEqualizer(classic, -12.0));
    EXPECT_EQ(refined.eq, classic.eq);
    for (size_t c : {1u, 2u}) {
        const CCurve &a = *refined.results[c], &b = *classic.results[c];
        ASSERT_EQ(a.Count(), b.Count());
        EXPECT_TRUE(std::equal(a.First(), a.First() + a.Count(), b.First())) << c;
    }
}

// The fit figures are the equaliser's as the upload writes it: decoded from the block as the
// simulated subwoofer decodes it (fixed-point coefficients, the gain folded into the last band
// for 0x100), against the target at the measurement's points in the fit band.
TEST(FitEqualizerQuality, FitFiguresAreTheDeliveredEqualisers) {
    for (const auto& [id, levelDb] :
         {std::pair{kKettrin2, 0.0}, std::pair{uint16_t{0x100}, -12.0}}) {
        DocData doc;
        Prepare(doc, kRooms[1]);
        doc.modelId = id;
        // 0x100's refined equaliser folds a gain its block cannot hold: the classic one is kept.
        ASSERT_TRUE(FitEqualizer(doc, levelDb));
        const auto* model = CUsbController::FindModelById(id);
        ASSERT_NE(model, nullptr);
        const auto block = BuildUploadImage(doc.eq, model, false);
        ASSERT_TRUE(block) << id << " gain " << doc.eq.gain;
        const auto sections = Sim::DecodeEqualiser(*block);
        ASSERT_EQ(sections.size(), 10u);
        const double gainDb = model->gainInLastBand ? 0.0 : doc.eq.gain;
        CCurve measured = *doc.results[0], target = *doc.results[1];
        ToDbPhase(measured);
        ToDbPhase(target);
        const auto [lo, hi] = FitLimits(doc);
        double sum = 0.0, largest = 0.0;
        int n = 0;
        for (int i = 0; i < measured.Count(); ++i) {
            const double f = measured.X()[i];
            if (f < lo || f > hi)
                continue;
            const double h = std::abs(Sim::EqualiserResponse(sections, f, model->eqSampleRate));
            const double d =
                measured.First()[i] + 20.0 * std::log10(h) + gainDb - ValueAt(target, f).first;
            sum += d * d;
            largest = std::max(largest, std::abs(d));
            ++n;
        }
        const auto delivered = DeliveredFitError(doc);
        ASSERT_TRUE(delivered) << id;
        EXPECT_EQ(delivered->points, n);
        EXPECT_NEAR(delivered->rmsDb, std::sqrt(sum / n), 1e-9) << id;
        EXPECT_NEAR(delivered->maxDb, largest, 1e-9) << id;
        doc.eq = EraseDefault();
        EXPECT_FALSE(DeliveredFitError(doc)) << id;
    }
    // Folded into the last band, a gain of +24 dB leaves a numerator the block cannot hold: the
    // upload refuses it, so there is no delivered equaliser to report.
    DocData doc;
    Prepare(doc, kRooms[1]);
    doc.modelId = 0x100;
    ASSERT_TRUE(FitEqualizer(doc, kRooms[1].levelDb));
    // At this level neither fit leaves an equaliser the block can hold, nor does +24 dB.
    EXPECT_FALSE(BuildUploadImage(doc.eq, CUsbController::FindModelById(0x100), false));
    doc.eq.gain = 24.0;
    EXPECT_FALSE(BuildUploadImage(doc.eq, CUsbController::FindModelById(0x100), false));
    EXPECT_FALSE(DeliveredFitError(doc));
}
