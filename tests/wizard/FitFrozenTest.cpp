// The Calculate step's target and classic fit on fixed, seeded measurements against digests
// recorded before its speed work (fit_frozen_outputs.inc). The fit is iterative, so its
// arithmetic is kept as it was and its results must keep their bits.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "correction/fit_support.h"
#include "document/DocData.h"
#include "support/FrozenDigest.h"
#include "wizard/CalculateFit.h"

namespace {

const frozen::Entry kFrozen[] = {
#include "correction/fit_frozen_outputs.inc"
};

// Five positions of one room whose modes move from position to position, with seeded ripple.
void FiveMeasurements(DocData& doc) {
    using namespace fittest;
    const Room base{22.0, true, 180.0, {{34, 8, 6}, {43, 5, 5}, {69, 4, 6}, {118, -6, 3}}, -6.0};
    std::mt19937 random(5);
    std::normal_distribution<double> ripple(0.0, 0.02);
    doc.Reset();
    doc.modelId = 0x114;
    for (int pos = 0; pos < 5; ++pos) {
        Room room = base;
        for (RoomMode& m : room.modes) {
            m.gainDb *= 0.7 + 0.15 * pos;
            m.f0 *= 1.0 + 0.02 * (pos - 2);
        }
        CurvePtr c = Measurement(room);
        for (int i = 0; i < c->Count(); ++i)
            c->First()[i] *= 1.0 + ripple(random);
        doc.measurements.push_back(c);
    }
}

}  // namespace

TEST(FrozenOutputs, TargetAndFitKeepTheirBits) {
    DocData doc;
    FiveMeasurements(doc);
    doc.fitMethod = FitMethod::Classic;
    double level = 0.0;
    ASSERT_TRUE(BuildTarget(doc, 1, level));
    ASSERT_TRUE(FitEqualizer(doc, level));
    ASSERT_EQ(doc.results.size(), 3u);

    std::vector<double> values{level, static_cast<double>(doc.crossover), doc.fitLower,
                               doc.fitUpper, doc.eq.gain};
    for (const EqBand& b : doc.eq.bands)
        values.insert(values.end(), {static_cast<double>(b.kind), b.c0, b.c1, b.c2, b.c3, b.c4,
                                     static_cast<double>(b.shift)});
    frozen::Check(kFrozen, "Fit bands and levels", frozen::OfValues(values), -1.0, false);
    frozen::Check(kFrozen, "Target curve", frozen::OfCurve(*doc.results[1], 16), -1.0, true);
    frozen::Check(kFrozen, "Calculated curve", frozen::OfCurve(*doc.results[2], 16), -1.0, true);
}
