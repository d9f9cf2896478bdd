// The refinement after the section fit: it never ends above the section fit's error, every pair
// it leaves is stable, within its Q limit and inside the band, pairs outside the bounds are held,
// a section left doing nothing is put to use, and the same input gives the same sections.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "correction/Fit.h"
#include "fit_support.h"

using namespace fittest;

namespace {

constexpr int kFs = 3000;

// Tall peaks and deep dips, so the error stays well above what needs no correction.
const std::vector<RoomMode> kModes{{34, 14, 8}, {48, -16, 6}, {71, 9, 8},
                                   {95, -8, 5}, {118, -6, 4}, {150, 6, 6}};
const Room kRoom{20.0, false, 160.0, kModes, 0.0};

struct Fitted {
    CurvePtr measured = Measurement(kRoom);
    CurvePtr target = IdealTarget(kRoom);
    EqFitState state{kFs, 10, target.get()};
    double classic = FitSections(state, *measured, 20.0, 200.0, 0.0);
};

double QLimit(double f0) {
    return f0 < 10.0 ? 2.0 : (f0 < 80.0 ? f0 / 5.0 : 16.0);
}

// Every pair stable; a complex pair within its Q limit, its angle and natural frequency in the
// band; real poles decaying at a rate inside it.
void ExpectWithinBounds(const EqFitState& s, const std::vector<double>& p) {
    for (size_t i = 0; i + 1 < p.size(); i += 2) {
        const double c1 = p[i], c2 = p[i + 1];
        const bool poles = i % 4 == 2;
        EXPECT_LE(LargerRootModulus(c1, c2), 1.0) << i;
        if (c1 * c1 < 4.0 * c2) {
            const double theta = PairAngle(c1, c2);
            const double w0 = std::hypot(theta, std::log(std::sqrt(c2)));
            EXPECT_LE(PairQ(c1, c2), QLimit(w0 * kFs / (2 * kPi)) * (1.0 + 1e-9)) << i;
            EXPECT_GE(theta, s.omegaLow * (1.0 - 1e-9)) << i;
            EXPECT_LE(w0, s.omegaHigh * (1.0 + 1e-9)) << i;
        } else if (poles && (c1 != 0.0 || c2 != 0.0)) {
            const auto [z1, z2] = PairRoots(c1, c2);
            for (double z : {z1.real(), z2.real()}) {
                EXPECT_GT(z, 0.0) << i;
                EXPECT_GE(-std::log(z), s.omegaLow * (1.0 - 1e-9)) << i;
            }
        }
    }
}

}  // namespace

TEST(FitRefine, LowersTheErrorWithinTheBoundsAndRepeatsItself) {
    Fitted a;
    const double refined = RefineSections(a.state);
    EXPECT_LT(refined, a.classic);
    EXPECT_EQ(refined, FitError(a.state, a.state.best.data(), a.state.ParamCount()));
    ExpectWithinBounds(a.state, a.state.best);

    Fitted b;
    RefineSections(b.state);
    EXPECT_EQ(a.state.best, b.state.best);
}

TEST(FitRefine, PairsOutsideTheBoundsAreHeld) {
    Fitted f;
    std::vector<double> p = f.state.best;
    // Section 3 gets poles far below the band and zeros above it.
    const auto [l1, l2] = Resonance(5.0, 1.5, kFs);
    const auto [h1, h2] = Resonance(1200.0, 3.0, kFs);
    p[12] = h1;
    p[13] = h2;
    p[14] = l1;
    p[15] = l2;
    const double before = FitError(f.state, p.data(), f.state.ParamCount());
    const double after = RefineLocal(f.state, p, 100);
    EXPECT_LT(after, before);
    EXPECT_EQ(p[12], h1);
    EXPECT_EQ(p[13], h2);
    EXPECT_EQ(p[14], l1);
    EXPECT_EQ(p[15], l2);
}

TEST(FitRefine, ASectionThatDoesNothingIsPutToUse) {
    Fitted f;
    // The section fit's result with its last section made the identity: the refinement places
    // it again and ends below the error of the nine.
    std::fill(f.state.best.end() - 4, f.state.best.end(), 0.0);
    const double nine = FitError(f.state, f.state.best.data(), f.state.ParamCount());
    ASSERT_GT(nine, 0.001);
    const double refined = RefineSections(f.state);
    EXPECT_LT(refined, nine);
    const std::vector<double>& p = f.state.best;
    double largest = 0.0;
    for (double w = f.state.omegaLow; w < f.state.omegaHigh; w *= 1.01)
        largest = std::max(
            largest, std::fabs(20.0 * std::log10(BiquadAbs(1.0, p[36], p[37], p[38], p[39], w))));
    EXPECT_GT(largest, 0.1);
    ExpectWithinBounds(f.state, p);
}
