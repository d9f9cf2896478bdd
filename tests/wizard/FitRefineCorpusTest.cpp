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
constexpr int kStartIterations = 150;

struct Prepared {
    CurvePtr average, target;
    double level = 0.0, low = 0.0, high = 0.0;
};

// The document after the target step, and the fit band the Calculate step uses.
void Target(DocData& doc, const CorpusRoom& room, Prepared* prepared = nullptr) {
    doc.Reset();
    doc.modelId = kCorpusModel;
    doc.measurements = CorpusMeasurements(room);
    double level = 0.0;
    ASSERT_TRUE(BuildTarget(doc, 1, level));
    if (prepared != nullptr) {
        prepared->average = Clone(*doc.results[0]);
        prepared->target = Clone(*doc.results[1]);
        prepared->level = level;
        prepared->low = doc.hpOrder != 0 ? static_cast<double>(doc.minEqFreq) : doc.fitLower;
        prepared->high = std::min(doc.fitUpper, 250.0);
    }
}

// The delivered error: the equalised response against the target over the fit band, dB RMS.
double Delivered(const CorpusRoom& room, FitMethod method, double level) {
    DocData doc;
    Target(doc, room);
    doc.fitMethod = method;
    EXPECT_TRUE(FitEqualizer(doc, level));
    EXPECT_EQ(doc.fitMethod, method);
    return LevelDeviation(*doc.results[2], *doc.results[1], doc.fitLower,
                          std::min(doc.fitUpper, 250.0))
        .rmsDb;
}

// A start for the bounded solve: the classic result with every pair's natural frequency and Q
// moved by seeded random factors, and its Q limited again.
std::vector<double> Start(const std::vector<double>& seed, int fs, std::mt19937& random) {
    std::normal_distribution<double> shift(0.0, 0.12);
    std::vector<double> p = seed;
    for (size_t i = 0; i + 1 < p.size(); i += 2) {
        const double c1 = p[i], c2 = p[i + 1];
        if (!(c1 * c1 < 4.0 * c2))
            continue;
        const double r = std::sqrt(c2);
        const double theta = std::acos(-c1 / (2.0 * r));
        const double f0 = std::hypot(theta, std::log(r)) * fs / (2.0 * kPi);
        const auto [n1, n2] =
            Resonance(f0 * std::exp(shift(random)),
                      std::max(0.55, PairQ(c1, c2) * std::exp(3.0 * shift(random))), fs);
        p[i] = n1;
        p[i + 1] = n2;
    }
    LimitSectionQ(static_cast<int>(p.size()) / kSectionParams, p.data(), fs, 16.0);
    return p;
}

}  // namespace

TEST(FitRefineCorpus, LowerErrorNearTheBestOfManyStartsAndNoWorseDelivered) {
    const CUsbController::BaseConfig* model = CUsbController::FindModelById(kCorpusModel);
    ASSERT_NE(model, nullptr);
    const int fs = model->eqSampleRate;
    const char* kinds[] = {"ordinary", "hard", "detection"};
    for (const CorpusRoom& room : FitCorpus()) {
        DocData doc;
        Prepared p;
        Target(doc, room, &p);
        EqFitState state(fs, model->eqBandCount, p.target.get());
        const double classic = FitSections(state, *p.average, p.low, p.high, p.level);
        const std::vector<double> seed = state.best;
        const double refined = RefineSections(state);
        ASSERT_DOUBLE_EQ(FitError(state, state.best.data(), state.ParamCount()), refined);

        std::mt19937 random(room.seed);
        double best = refined;
        for (int s = 0; s < kStarts; ++s) {
            std::vector<double> params = Start(seed, fs, random);
            best = std::min(best, RefineLocal(state, params, kStartIterations));
        }
        const double classicDb = Delivered(room, FitMethod::Classic, p.level);
        const double refinedDb = Delivered(room, FitMethod::Refined, p.level);
        std::printf(
            "room %u (%s): error classic/refined %.2f, refined/best of starts %.3f; delivered "
            "%.3f -> %.3f dB\n",
            room.seed, kinds[static_cast<int>(room.kind)], classic / refined, refined / best,
            classicDb, refinedDb);
        EXPECT_LE(refined, classic) << room.seed;
        EXPECT_LE(refined, 1.05 * best) << room.seed;
        EXPECT_LE(refinedDb, classicDb + 0.01) << room.seed;
    }
}
