// The building blocks of the equaliser fit: pair stabilisation, Q limits, pruning, the
// Householder solver, the damped least-squares iteration, section seeding and finalisation.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "correction/Fit.h"
#include "fit_support.h"

using namespace fittest;

namespace {

constexpr int kFs = 3000;

double Omega(double f) {
    return 2.0 * kPi * f / kFs;
}

// Fit points on a 25-per-octave grid from 10 Hz to 1500 Hz with desired magnitudes desired(f).
template <class F>
EqFitState StateWith(int sections, F desired) {
    EqFitState state(kFs, sections, nullptr);
    for (int k = 0;; ++k) {
        const double f = 10.0 * std::pow(2.0, k / 25.0);
        if (f > 1500.0)
            break;
        state.points.push_back(MakeFitPoint(Omega(f), desired(f)));
    }
    return state;
}

int IndexOf(const EqFitState& state, double f) {
    int best = 0;
    for (size_t i = 0; i < state.points.size(); ++i)
        if (std::fabs(state.points[i].omega - Omega(f)) <
            std::fabs(state.points[best].omega - Omega(f)))
            best = static_cast<int>(i);
    return best;
}

}  // namespace

TEST(FitStabilizePair, StablePairsAreLeftAlone) {
    for (auto [c1, c2] : {std::pair{-1.8, 0.9}, {0.5, 0.2}, {0.0, 0.0}, {-1.2, 0.3}}) {
        double a = c1, b = c2;
        EXPECT_FALSE(StabilizePair(a, b));
        EXPECT_EQ(a, c1);
        EXPECT_EQ(b, c2);
    }
}

TEST(FitStabilizePair, ComplexRootsAreReflectedKeepingTheirAngle) {
    // Roots 1.25 e^(+-j0.3) become 0.8 e^(+-j0.3).
    double c1 = -2.0 * 1.25 * std::cos(0.3);
    double c2 = 1.25 * 1.25;
    EXPECT_TRUE(StabilizePair(c1, c2));
    const auto [z1, z2] = PairRoots(c1, c2);
    EXPECT_NEAR(std::abs(z1), 0.8, 1e-12);
    EXPECT_NEAR(std::abs(z2), 0.8, 1e-12);
    EXPECT_NEAR(std::fabs(std::arg(z1)), 0.3, 1e-12);
}

TEST(FitStabilizePair, RealRootsOutsideAreInverted) {
    // Roots 2 and 0.5: the larger is inverted, the smaller stays.
    double c1 = -(2.0 + 0.5), c2 = 2.0 * 0.5;
    EXPECT_TRUE(StabilizePair(c1, c2));
    EXPECT_NEAR(c1, -1.0, 1e-12);
    EXPECT_NEAR(c2, 0.25, 1e-12);
    // Roots -4 and 2: both lie outside and both are inverted.
    c1 = -(-4.0 + 2.0);
    c2 = -8.0;
    EXPECT_TRUE(StabilizePair(c1, c2));
    EXPECT_NEAR(c1, -(-0.25 + 0.5), 1e-12);
    EXPECT_NEAR(c2, -0.125, 1e-12);
}

TEST(FitStabilizePair, ReflectionOnlyScalesTheMagnitude) {
    double c1 = -2.0 * 1.1 * std::cos(0.2), c2 = 1.21;
    const double o1 = c1, o2 = c2;
    StabilizePair(c1, c2);
    const double ratio = BiquadAbs(1, o1, o2, 0, 0, 0.05) / BiquadAbs(1, c1, c2, 0, 0, 0.05);
    for (double w : {0.01, 0.2, 0.7, 2.0, 3.1})
        EXPECT_NEAR(BiquadAbs(1, o1, o2, 0, 0, w) / BiquadAbs(1, c1, c2, 0, 0, w), ratio, 1e-9);
}

TEST(FitStabilizePair, NotANumberBecomesTheIdentity) {
    double c1 = std::nan(""), c2 = 0.5;
    EXPECT_TRUE(StabilizePair(c1, c2));
    EXPECT_EQ(c1, 0.0);
    EXPECT_EQ(c2, 0.0);
}

TEST(FitLimitSectionQ, PolesAt40HzArePulledBackToQ8WithTheSameAngle) {
    auto [a1, a2] = Resonance(40.0, 12.0, kFs);
    std::vector<double> p{0.0, 0.0, a1, a2};
    const double angle = PairAngle(a1, a2);
    EXPECT_TRUE(LimitSectionQ(1, p.data(), kFs, 16.0));
    EXPECT_NEAR(PairQ(p[2], p[3]), 8.0, 1e-9);
    EXPECT_NEAR(PairAngle(p[2], p[3]), angle, 1e-12);
}

TEST(FitLimitSectionQ, LimitDependsOnFrequency) {
    struct Case {
        double f0, q, expected;
    };
    // Below 10 Hz at most 2, f0 / 5 up to 80 Hz, 16 above; lower Qs are kept.
    for (const Case& c : {Case{6.0, 3.0, 2.0}, Case{20.0, 6.0, 4.0}, Case{200.0, 20.0, 16.0},
                          Case{200.0, 10.0, 10.0}, Case{60.0, 11.0, 12.0}}) {
        auto [a1, a2] = Resonance(c.f0, c.q, kFs);
        std::vector<double> p{a1, a2, a1, a2};
        const bool changed = LimitSectionQ(1, p.data(), kFs, 16.0);
        EXPECT_EQ(changed, c.q > c.expected) << c.f0 << " Hz Q " << c.q;
        // Both the poles and the zeros obey the limit.
        EXPECT_NEAR(PairQ(p[2], p[3]), std::min(c.q, c.expected), 1e-3 * c.q) << c.f0;
        EXPECT_NEAR(PairQ(p[0], p[1]), std::min(c.q, c.expected), 1e-3 * c.q) << c.f0;
    }
}

TEST(FitLimitSectionQ, RealPairsAndIdentityAreUnchanged) {
    std::vector<double> p{0.0, 0.0, -1.5, 0.56};  // real poles 0.8 and 0.7
    EXPECT_FALSE(LimitSectionQ(1, p.data(), kFs, 16.0));
    EXPECT_EQ(p, (std::vector<double>{0.0, 0.0, -1.5, 0.56}));
}

TEST(FitPruneSections, SectionsOutsideTheBandAreRemovedAndLaterOnesMoveDown) {
    const double wLo = Omega(20.0), wHi = Omega(400.0);
    auto [l1, l2] = Resonance(8.0, 2.0, kFs);     // poles below the band
    auto [i1, i2] = Resonance(60.0, 4.0, kFs);    // inside
    auto [h1, h2] = Resonance(900.0, 4.0, kFs);   // poles above the band
    auto [z1, z2] = Resonance(1000.0, 4.0, kFs);  // zeros above the band
    auto [j1, j2] = Resonance(120.0, 3.0, kFs);   // inside
    std::vector<double> p{i1, i2, i1, i2, 0,  0,  l1, l2, j1, j2, j1, j2,
                          0,  0,  h1, h2, z1, z2, j1, j2, 0,  0,  0,  0};
    const int remaining = PruneSections(6, p.data(), kFs, wLo, wHi);
    EXPECT_EQ(remaining, 3);
    const std::vector<double> expected{i1, i2, i1, i2, j1, j2, j1, j2, 0, 0, 0, 0,
                                       0,  0,  0,  0,  0,  0,  0,  0,  0, 0, 0, 0};
    for (size_t i = 0; i < p.size(); ++i)
        EXPECT_DOUBLE_EQ(p[i], expected[i]) << i;
}

TEST(FitPruneSections, RealPolesAreJudgedByTheirDecayRate) {
    const double wLo = Omega(20.0), wHi = Omega(400.0);
    // A real pole at e^(-w) with w = omega(100 Hz) lies inside; at e^(-omega(5 Hz)) below; a
    // negative pole is removed.
    const double inside = std::exp(-Omega(100.0));
    const double below = std::exp(-Omega(5.0));
    std::vector<double> p{0, 0, -inside, 0, 0, 0, -below, 0, 0, 0, 0.5, 0};
    EXPECT_EQ(PruneSections(3, p.data(), kFs, wLo, wHi), 1);
    EXPECT_DOUBLE_EQ(p[2], -inside);
}

TEST(FitSolver, HouseholderSolvesAndDetectsSingularity) {
    std::vector<double> m{4, 1, 0, 2, 1, 3, 1, 0, 0, 1, 5, 1, 2, 0, 1, 6};
    const std::vector<double> x0{1.0, -2.0, 0.5, 3.0};
    std::vector<double> rhs(4, 0.0);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            rhs[i] += m[i * 4 + j] * x0[j];
    std::vector<double> x(4);
    ASSERT_TRUE(SolveHouseholder(4, m.data(), rhs.data(), x.data()));
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(x[i], x0[i], 1e-12);

    std::vector<double> singular{1, 2, 2, 4};
    std::vector<double> r2{1, 2};
    EXPECT_FALSE(SolveHouseholder(2, singular.data(), r2.data(), x.data()));
}

TEST(FitSolver, ErrorWithoutSectionsUsesTheMeanLevel) {
    EqFitState state = StateWith(1, [](double f) { return f < 100.0 ? 2.0 : 1.0; });
    double sum = 0.0;
    for (const FitPoint& p : state.points)
        sum += p.r;
    const double g = sum / state.points.size();
    double expected = 0.0;
    for (const FitPoint& p : state.points)
        expected += (g - p.r) * (g - p.r);
    EXPECT_NEAR(FitError(state, state.params.data(), 0), expected, 1e-9);
    EXPECT_NEAR(state.gain, g, 1e-12);
}

TEST(FitSolver, LevenbergMarquardtRecoversAKnownSection) {
    // The desired response is 0.7 times a 100 Hz peak; the start is a detuned peak.
    auto [z1, z2] = Resonance(100.0, 4.0, kFs);
    auto [p1, p2] = Resonance(100.0, 2.0, kFs);
    EqFitState state =
        StateWith(1, [&](double f) { return 0.7 * BiquadAbs(1, z1, z2, p1, p2, Omega(f)); });
    auto [s1, s2] = Resonance(85.0, 3.0, kFs);
    auto [t1, t2] = Resonance(85.0, 1.8, kFs);
    std::vector<double> params{s1, s2, t1, t2};
    double error = 0.0;
    const int used = LevenbergMarquardt(state, 4, params.data(), error, 200, 1e-14);
    EXPECT_GT(used, 0);
    EXPECT_LT(error, 1e-10);
    EXPECT_NEAR(FitError(state, params.data(), 4), error, 1e-12);
    for (double f : {30.0, 100.0, 300.0})
        EXPECT_NEAR(state.gain * BiquadAbs(1, params[0], params[1], params[2], params[3], Omega(f)),
                    0.7 * BiquadAbs(1, z1, z2, p1, p2, Omega(f)), 1e-4);
}

TEST(FitSolver, AZeroTargetMakesTheSystemSingular) {
    EqFitState state = StateWith(1, [](double) { return 0.0; });
    std::vector<double> params{-1.9, 0.91, -1.8, 0.85};
    double error = 1.0;
    EXPECT_EQ(LevenbergMarquardt(state, 4, params.data(), error, 40, 1e-6), kSingularSystem);
}

TEST(FitAddSection, PlacesAPeakAtTheLargestShortfall) {
    // The model is flat; the target asks +6 dB around 60 Hz.
    EqFitState state = StateWith(
        1, [](double f) { return 1.0 + std::exp(-std::pow(std::log2(f / 60.0) / 0.15, 2.0)); });
    FitError(state, state.params.data(), 0);
    AddSection(state, 1, state.params.data(), 0, static_cast<int>(state.points.size()) - 1);
    const std::vector<double>& s = state.params;
    const double centre = PairAngle(s[2], s[3]) * kFs / (2.0 * kPi);
    EXPECT_NEAR(centre, 60.0, 3.0);
    EXPECT_GE(PairQ(s[2], s[3]), 8.0 - 1e-9);
    // Its centre gain is the needed gain: desired over modelled at the worst point.
    const FitPoint& a = state.points[IndexOf(state, 60.0)];
    const double needed = a.r / (a.r + a.e);
    const double peak = BiquadAbs(1, s[0], s[1], s[2], s[3], Omega(centre));
    EXPECT_NEAR(peak, needed, 0.1 * needed);
}

TEST(FitAddSection, ANeededGainAbove12dBIsCapped) {
    // +20 dB in a narrow band around 200 Hz.
    EqFitState state =
        StateWith(1, [](double f) { return std::fabs(std::log2(f / 200.0)) < 0.05 ? 10.0 : 1.0; });
    FitError(state, state.params.data(), 0);
    AddSection(state, 1, state.params.data(), 0, static_cast<int>(state.points.size()) - 1);
    const std::vector<double>& s = state.params;
    const double centre = PairAngle(s[2], s[3]);
    double peak = 0.0;
    for (double w = centre * 0.9; w < centre * 1.1; w += centre * 1e-4)
        peak = std::max(peak, BiquadAbs(1, s[0], s[1], s[2], s[3], w));
    EXPECT_NEAR(20.0 * std::log10(peak), 12.0, 0.5);
}

TEST(FitAddSection, NothingToCorrectLeavesTheIdentity) {
    EqFitState state = StateWith(2, [](double) { return 1.0; });
    FitError(state, state.params.data(), 0);
    state.params[4] = 0.3;
    AddSection(state, 2, state.params.data(), 0, static_cast<int>(state.points.size()) - 1);
    EXPECT_EQ(state.params, std::vector<double>(8, 0.0));
}

TEST(FitFinalizeCascade, GainIsQuantisedAndTheRemainderGoesIntoTheFirstSection) {
    EqFitState state(kFs, 10, nullptr);
    state.gain = 0.3;
    FinalizeCascade(state);
    EXPECT_EQ(state.gainSteps, -20);
    const double remainder = std::pow(10.0, (20.0 * std::log10(0.3) + 10.0) / 20.0);
    EXPECT_NEAR(state.cascade.b0[0], remainder, 1e-12);
    for (size_t i = 1; i < 10; ++i)
        EXPECT_NEAR(state.cascade.b0[i], 1.0, 1e-12);
    // The band record of the scaled first section uses the next power of two.
    const EqBand first = GetBand(state, 0);
    EXPECT_EQ(first.shift, 1);
    EXPECT_NEAR(first.c2, remainder, 1e-12);
    EXPECT_EQ(GetBand(state, 1), kIdentityBand);
    EXPECT_EQ(GetBand(state, 10), kIdentityBand);
}

TEST(FitFinalizeCascade, KeepsTheResponseAndScalesEveryStage) {
    // Two peaks and two dips with an overall gain; the rearranged cascade must have the same
    // response, stay within the fixed-point range and peak at no more than unity per stage.
    EqFitState state(kFs, 4, nullptr);
    const double peaks[4][3] = {{45, 6, 1.8}, {70, 8, 0.5}, {120, 5, 1.5}, {30, 3, 0.7}};
    for (int i = 0; i < 4; ++i) {
        const double q = peaks[i][1], h = peaks[i][2];
        auto [z1, z2] = Resonance(peaks[i][0], h > 1 ? q / h : q, kFs);
        auto [p1, p2] = Resonance(peaks[i][0], h > 1 ? q : q * h, kFs);
        state.best[4 * i + 0] = z1;
        state.best[4 * i + 1] = z2;
        state.best[4 * i + 2] = p1;
        state.best[4 * i + 3] = p2;
    }
    state.gain = 0.45;
    FinalizeCascade(state);
    const SectionArrays& c = state.cascade;
    const double overall = std::pow(10.0, state.gainSteps * 0.5 / 20.0);
    for (double f = 5.0; f < 1500.0; f *= 1.07) {
        double before = state.gain;
        double after = overall;
        for (int i = 0; i < 4; ++i) {
            const double* b = state.best.data() + 4 * i;
            before *= BiquadAbs(1, b[0], b[1], b[2], b[3], Omega(f));
            after *= BiquadAbs(c.b0[i], c.b1[i], c.b2[i], c.a1[i], c.a2[i], Omega(f));
        }
        EXPECT_NEAR(after / before, 1.0, 1e-9) << f;
    }
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(c.a0[i], 1.0);
        EXPECT_LE(std::max({std::fabs(c.b0[i]), std::fabs(c.b1[i]), std::fabs(c.b2[i])}),
                  2.0 + 1e-12);
        EXPECT_LT(LargerRootModulus(c.a1[i], c.a2[i]), 1.0);
    }
    for (double f = 15.0; f < 1500.0; f *= 1.03) {
        double running = 1.0;
        for (size_t i = 0; i < 4; ++i) {
            running *= BiquadAbs(c.b0[i], c.b1[i], c.b2[i], c.a1[i], c.a2[i], Omega(f));
            EXPECT_LE(running, 1.03) << f << " Hz after stage " << i;
        }
    }
    // Every pole pair keeps one of the original pole pairs.
    for (size_t i = 0; i < 4; ++i) {
        bool found = false;
        for (int j = 0; j < 4; ++j)
            found = found || (c.a1[i] == state.best[4 * j + 2] && c.a2[i] == state.best[4 * j + 3]);
        EXPECT_TRUE(found) << i;
    }
}
