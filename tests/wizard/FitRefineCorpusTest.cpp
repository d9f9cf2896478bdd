// The refined fit against the classic one on a seeded corpus of rooms, through the Calculate
// step's target: its error is never larger, close to the best that many starts of the bounded
// solve find, and the response it delivers is no worse.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "correction/Fit.h"
#include "correction/fit_corpus.h"
#include "document/DocData.h"
#include "sublink/BaseConfig.h"
#include "wizard/CalculateFit.h"

using namespace fittest;

namespace {

constexpr int kStarts = 30;
constexpr int kStartIterations = 100;

struct Fitted {
    double error = 0.0;        // the fit's own error
    double deliveredDb = 0.0;  // equalised response against the target over the fit band, RMS
};

// The document after the target step.
void Target(DocData& doc, const CorpusRoom& room, double& level) {
    doc.Reset();
    doc.modelId = kCorpusModel;
    doc.measurements = CorpusMeasurements(room);
    ASSERT_TRUE(BuildTarget(doc, 1, level));
}

Fitted Fit(const CorpusRoom& room, FitMethod method) {
    DocData doc;
    double level = 0.0;
    Target(doc, room, level);
    doc.fitMethod = method;
    FitOutcome outcome;
    EXPECT_TRUE(FitEqualizer(doc, level, &outcome));
    EXPECT_EQ(doc.fitMethod, method);
    const double high = std::min(doc.fitUpper, 250.0);
    return {outcome.error,
            LevelDeviation(*doc.results[2], *doc.results[1], doc.fitLower, high).rmsDb};
}

// The best error of the bounded solve from starts around the classic result: every complex
// pair's natural frequency and Q moved by seeded random factors, the Q limited again.
double BestOfStarts(const CorpusRoom& room, int fs, int sections) {
    DocData doc;
    double level = 0.0;
    Target(doc, room, level);
    const double low = doc.hpOrder != 0 ? static_cast<double>(doc.minEqFreq) : doc.fitLower;
    EqFitState state(fs, sections, doc.results[1].get());
    FitSections(state, *doc.results[0], low, std::min(doc.fitUpper, 250.0), level);
    const std::vector<double> seed = state.best;
    std::mt19937 random(room.seed);
    std::normal_distribution<double> shift(0.0, 0.12);
    double best = HUGE_VAL;
    for (int s = 0; s < kStarts; ++s) {
        std::vector<double> p = seed;
        for (size_t i = 0; i + 1 < p.size(); i += 2) {
            if (!(p[i] * p[i] < 4.0 * p[i + 1]))
                continue;
            const double r = std::sqrt(p[i + 1]);
            const double f0 =
                std::hypot(std::acos(-p[i] / (2.0 * r)), std::log(r)) * fs / (2 * kPi);
            const double q = PairQ(p[i], p[i + 1]);
            const auto [c1, c2] = Resonance(f0 * std::exp(shift(random)),
                                            std::max(0.55, q * std::exp(3.0 * shift(random))), fs);
            p[i] = c1;
            p[i + 1] = c2;
        }
        LimitSectionQ(sections, p.data(), fs, 16.0);
        best = std::min(best, RefineLocal(state, p, kStartIterations));
    }
    return best;
}

}  // namespace

TEST(FitRefineCorpus, LowerErrorNearTheBestOfManyStartsAndNoWorseDelivered) {
#if defined(__SANITIZE_THREAD__)
    // A numeric quality check: under ThreadSanitizer it takes minutes, and the fit's threads are
    // covered by the other fit tests there.
    GTEST_SKIP() << "numeric corpus, not a threading test";
#endif
#if defined(_WIN32)
    // The figures are the Linux build's: other math libraries lead the searches (the test's and
    // the fit's) to other optima. The fit's results on Windows are checked by the other fit tests.
    GTEST_SKIP() << "numeric corpus, checked in the Linux builds";
#endif
    const CUsbController::BaseConfig* model = CUsbController::FindModelById(kCorpusModel);
    ASSERT_NE(model, nullptr);
    const char* kinds[] = {"ordinary", "hard", "detection"};
    for (const CorpusRoom& room : FitCorpus()) {
        const Fitted classic = Fit(room, FitMethod::Classic);
        const Fitted refined = Fit(room, FitMethod::Refined);
        const double best =
            std::min(refined.error, BestOfStarts(room, model->eqSampleRate, model->eqBandCount));
        std::printf(
            "room %u (%s): error classic / refined %.2f, refined / best of %d starts %.3f; "
            "delivered %.3f -> %.3f dB\n",
            room.seed, kinds[static_cast<int>(room.kind)], classic.error / refined.error, kStarts,
            refined.error / best, classic.deliveredDb, refined.deliveredDb);
        EXPECT_LE(refined.error, classic.error) << room.seed;
        EXPECT_LE(refined.error, 1.05 * best) << room.seed;
        // On hard rooms the refined fit delivers the floor its boost-limited, edge-shaped curve
        // leaves; the classic fit, missing that curve, may land a hundredth of a dB below it.
        const double allowance = room.kind == CorpusKind::Hard ? 0.02 : 0.01;
        EXPECT_LE(refined.deliveredDb, classic.deliveredDb + allowance) << room.seed;
    }
}
