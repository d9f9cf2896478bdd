// Whether the equaliser helps every position: a null the equaliser boosts, with and without
// boosts allowed.

#include <gtest/gtest.h>
#include <omp.h>

#include <cstdio>

#include "correction/fit_support.h"
#include "wizard/CalculateStep.h"
#include "wizard/PositionEffects.h"

namespace {

using namespace fittest;

constexpr uint16_t kKettrin2 = 0x114;

// Five positions share a mode at 45 Hz; the first four sit in a null at 70 Hz, which the
// equaliser fitted to their average boosts, and the fifth lies outside it.
void Calculate(DocData& doc, double maxBoostDb) {
    const RoomMode mode{45.0, 6.0, 5.0};
    const Room inNull{15.0, false, 200.0, {mode, {70.0, -20.0, 6.0}}, 0.0};
    const Room outside{15.0, false, 200.0, {mode}, 0.0};
    doc.modelId = kKettrin2;
    doc.crossover = 200;
    doc.house.maxBoostDb = maxBoostDb;
    for (int p = 0; p < 4; ++p)
        doc.measurements.push_back(Measurement(inNull));
    doc.measurements.push_back(Measurement(outside));
    EXPECT_TRUE(CalculateStep(nullptr, doc, 0, {}));
}

void Print(const char* title, const DocData& doc) {
    for (const PositionEffect& e : doc.positionEffects)
        std::printf("%s: before %.2f, after %.2f, held out %.2f dB RMS, worse at %.0f Hz\n", title,
                    e.before.rmsDb, e.after.rmsDb, e.heldOut ? e.heldOut->rmsDb : -1.0,
                    e.worseAtHz.value_or(0.0));
}

}  // namespace

TEST(PositionEffects, ABoostedNullMakesThePositionOutsideItWorseUnlessTheEqualiserOnlyCuts) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "numeric figures of many fits; the OpenMP loop is not instrumented there";
#endif
    DocData boosted, cuts;
    Calculate(boosted, kMaxBoostDbMax);
    Print("boosts", boosted);
    ASSERT_EQ(boosted.positionEffects.size(), 5u);
    for (size_t p = 0; p < 4; ++p) {
        const PositionEffect& e = boosted.positionEffects[p];
        EXPECT_LT(e.after.rmsDb, e.before.rmsDb) << p;
        EXPECT_FALSE(e.MadeWorse()) << p;
    }
    const PositionEffect& outside = boosted.positionEffects[4];
    EXPECT_GT(outside.after.rmsDb, outside.before.rmsDb);
    ASSERT_TRUE(outside.heldOut);
    EXPECT_GT(outside.heldOut->rmsDb, outside.before.rmsDb);
    ASSERT_TRUE(outside.worseAtHz);
    EXPECT_NEAR(*outside.worseAtHz, 70.0, 10.0);

    // Cutting the mode helps every position, the one outside the null too.
    Calculate(cuts, 0.0);
    Print("cuts only", cuts);
    ASSERT_EQ(cuts.positionEffects.size(), 5u);
    for (const PositionEffect& e : cuts.positionEffects) {
        EXPECT_LT(e.after.rmsDb, e.before.rmsDb);
        EXPECT_FALSE(e.MadeWorse());
    }

    // The held-out fits run in parallel; one thread gives the same figures.
    const int threads = omp_get_max_threads();
    omp_set_num_threads(1);
    const std::vector<PositionEffect> serial = EvaluatePositionEffects(boosted);
    omp_set_num_threads(threads);
    EXPECT_EQ(serial, boosted.positionEffects);
}
