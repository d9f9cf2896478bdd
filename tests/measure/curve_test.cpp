#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "measure/Curve.h"

namespace {

constexpr double kPi = std::numbers::pi;

CCurve MakeCurve(const std::vector<double>& x, const std::vector<double>& first,
                 const std::vector<double>& second, DataFormat format = DataFormat::MagPhase,
                 AxisKind kind = AxisKind::Frequency) {
    const int n = static_cast<int>(x.size());
    CCurve c(n, kind, format);
    for (int i = 0; i < n; ++i) {
        c.X()[i] = x[i];
        c.First()[i] = first[i];
        c.Second()[i] = second[i];
    }
    return c;
}

CCurve Flat(const std::vector<double>& x, double m) {
    return MakeCurve(x, std::vector<double>(x.size(), m), std::vector<double>(x.size(), 0.0));
}

}  // namespace

TEST(Representation, ConversionsBetweenFormats) {
    CCurve c = MakeCurve({1, 2, 3}, {20.0, 0.0, -6.0}, {kPi / 2, 0.0, kPi}, DataFormat::DbPhase);
    ToCartesian(c);
    EXPECT_EQ(c.Format(), DataFormat::Cartesian);
    EXPECT_NEAR(c.First()[0], 0.0, 1e-12);
    EXPECT_NEAR(c.Second()[0], 10.0, 1e-12);
    EXPECT_NEAR(c.First()[1], 1.0, 1e-12);
    EXPECT_NEAR(c.First()[2], -std::pow(10.0, -6.0 / 20), 1e-12);
    ToDbPhase(c);
    EXPECT_EQ(c.Format(), DataFormat::DbPhase);
    EXPECT_NEAR(c.First()[0], 20.0, 1e-12);
    EXPECT_NEAR(c.Second()[0], kPi / 2, 1e-12);
    EXPECT_NEAR(c.First()[2], -6.0, 1e-12);
    ToMagPhase(c);
    EXPECT_NEAR(c.First()[0], 10.0, 1e-12);
}

TEST(Representation, ReadingInAnyFormatAgreesWithConvertingAndChangesNothing) {
    const CCurve db =
        MakeCurve({1, 2, 3}, {20.0, -800.0, -6.0}, {kPi / 2, 0.0, 1.0}, DataFormat::DbPhase);
    for (DataFormat format : {DataFormat::DbPhase, DataFormat::MagPhase, DataFormat::Cartesian}) {
        CCurve c = db;
        if (format == DataFormat::MagPhase)
            ToMagPhase(c);
        if (format == DataFormat::Cartesian)
            ToCartesian(c);
        const CCurve before = c;
        CCurve converted = c;
        ToDbPhase(converted);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(LevelDbAt(c, i), converted.First()[i], 1e-9);
            EXPECT_NEAR(MagnitudeAt(c, i), std::pow(10.0, converted.First()[i] / 20.0), 1e-12);
            if (i != 1) {
                EXPECT_NEAR(PhaseAt(c, i), converted.Second()[i], 1e-12);
            }
        }
        EXPECT_EQ(c.Format(), format);
        EXPECT_EQ(c.First()[0], before.First()[0]);
    }
}

TEST(Representation, ZeroValues) {
    CCurve c = MakeCurve({1, 2}, {0.0, -0.0}, {0.0, 0.0}, DataFormat::Cartesian);
    ToMagPhase(c);
    EXPECT_EQ(c.First()[0], 0.0);
    EXPECT_EQ(c.Second()[0], 0.0);
    EXPECT_EQ(c.Second()[1], 0.0);
    ToDbPhase(c);
    EXPECT_EQ(c.First()[0], -800.0);
    EXPECT_EQ(c.First()[0], -20.0 * std::log10(1e40));
}

TEST(Representation, PhaseWrapping) {
    const std::vector<double> phases = {3 * kPi, -kPi, 2 * kPi, -0.5, kPi, 7.0};
    CCurve a = MakeCurve({1, 2, 3, 4, 5, 6}, std::vector<double>(6, 1.0), phases);
    CCurve b = a;
    WrapPhase(a);
    WrapPhasePositive(b);
    for (int i = 0; i < 6; ++i) {
        EXPECT_GT(a.Second()[i], -kPi);
        EXPECT_LE(a.Second()[i], kPi);
        EXPECT_GE(b.Second()[i], 0.0);
        EXPECT_LT(b.Second()[i], 2 * kPi);
        EXPECT_NEAR(std::remainder(a.Second()[i] - phases[i], 2 * kPi), 0.0, 1e-12);
        EXPECT_NEAR(std::remainder(b.Second()[i] - phases[i], 2 * kPi), 0.0, 1e-12);
    }
    EXPECT_NEAR(a.Second()[0], kPi, 1e-12);
    EXPECT_NEAR(a.Second()[1], kPi, 1e-12);
    EXPECT_NEAR(b.Second()[3], 2 * kPi - 0.5, 1e-12);
}

TEST(Representation, UnwrapRecoversConstantDelayPhase) {
    std::vector<double> f, m, phi;
    for (int k = 1; k <= 200; ++k) {
        f.push_back(10.0 * k);
        m.push_back(1.0);
        phi.push_back(-2 * kPi * 10.0 * k * 0.0031);
    }
    CCurve c = MakeCurve(f, m, phi);
    WrapPhase(c);
    UnwrapPhase(c);
    for (int k = 0; k < 200; ++k) {
        ASSERT_NEAR(c.Second()[k], phi[k], 1e-9) << k;
    }
}

TEST(AxisSearch, UpperAndFloorIndex) {
    const CCurve c = Flat({10, 20, 30, 40, 50, 60}, 1.0);
    EXPECT_EQ(UpperIndex(c.axis, 5), 0);
    EXPECT_EQ(UpperIndex(c.axis, 20), 2);
    EXPECT_EQ(UpperIndex(c.axis, 59), 5);
    EXPECT_EQ(UpperIndex(c.axis, 70), 5);
    EXPECT_EQ(FloorIndex(c.axis, 5), 0);
    EXPECT_EQ(FloorIndex(c.axis, 20), 1);
    EXPECT_EQ(FloorIndex(c.axis, 25), 1);
    EXPECT_EQ(FloorIndex(c.axis, 60), 5);
    EXPECT_EQ(FloorIndex(c.axis, 99), 5);
    const CCurve empty;
    EXPECT_EQ(UpperIndex(empty.axis, 1), 0);
    EXPECT_EQ(FloorIndex(empty.axis, 1), 0);
}

TEST(ValueAt, MagnitudeIsLinearOverLogFrequencyAndPhaseOverFrequency) {
    const CCurve c = MakeCurve({100, 200, 400}, {1.0, 2.0, 4.0}, {0.0, 1.0, 3.0});
    const auto [m, phi] = ValueAt(c, 100 * std::sqrt(2.0));
    EXPECT_NEAR(m, 1.5, 1e-12);
    EXPECT_NEAR(phi, 100 * std::sqrt(2.0) / 100 - 1.0 + 0.0, 1e-12);
    const auto [m2, phi2] = ValueAt(c, 300, 1);
    EXPECT_NEAR(m2, 2.0 + 2.0 * std::log(300.0 / 400) / std::log(2.0) + 2.0, 1e-12);
    EXPECT_NEAR(phi2, 2.0, 1e-12);
}

TEST(ValueAt, BelowTheFirstPointNeverOvershoots) {
    const CCurve c = MakeCurve({100, 200}, {2.0, 1.0}, {0.8, 1.0});
    const auto [m, phi] = ValueAt(c, 50);
    EXPECT_LE(m, 2.0);
    EXPECT_NEAR(phi, 0.4, 1e-12);  // proportional to frequency
    const auto [m0, phi0] = ValueAt(c, 0);
    EXPECT_LE(m0, 2.0);
    EXPECT_EQ(phi0, 0.0);
    // Levels hold the first point's value whichever way the curve slopes and whatever its sign.
    for (const auto& levels : std::vector<std::vector<double>>{
             {-10.0, -20.0}, {-20.0, -10.0}, {6.0, -6.0}, {3.0, 9.0}}) {
        const CCurve db = MakeCurve({100, 200}, levels, {0.0, 0.0}, DataFormat::DbPhase);
        EXPECT_EQ(ValueAt(db, 50).first, levels[0]);
        EXPECT_EQ(ValueAt(db, 100).first, levels[0]);
    }
}

TEST(ValueAt, ZeroFrequencyPointIsNeverTheLeftNeighbour) {
    CCurve c = MakeCurve({0, 100, 400}, {5.0, 2.0, 4.0}, {0, 0, 0});
    // Between 0 and 100 Hz the value comes from the 100 and 400 Hz points.
    EXPECT_NEAR(ValueAt(c, 50).first, 4.0 + 2.0 * std::log(50.0 / 400) / std::log(4.0), 1e-12);
    c.First()[0] = 500.0;
    EXPECT_NEAR(ValueAt(c, 50).first, 1.0, 1e-12);
}

TEST(ValueAt, CartesianCurvesInterpolateInPolarForm) {
    const CCurve c = MakeCurve({100, 200}, {0.0, 0.0}, {1.0, 2.0}, DataFormat::Cartesian);
    const auto [re, im] = ValueAt(c, 200);
    EXPECT_NEAR(re, 0.0, 1e-12);
    EXPECT_NEAR(im, 2.0, 1e-12);
}

TEST(ResampleTo, IdenticalAxisReturnsTheSameObject) {
    auto a = std::make_shared<CCurve>(Flat({1, 2, 3}, 1.0));
    const CCurve b = Flat({1, 2, 3}, 5.0);
    EXPECT_EQ(ResampleTo(a, b), a);
    const CCurve other = Flat({1, 2.5}, 5.0);
    const auto r = ResampleTo(a, other);
    ASSERT_NE(r, a);
    ASSERT_EQ(r->Count(), 2);
    EXPECT_EQ(r->X()[1], 2.5);
    EXPECT_EQ(r->Format(), DataFormat::MagPhase);
    EXPECT_NEAR(r->First()[0], 1.0, 1e-12);
    EXPECT_NEAR(r->First()[1], 1.0, 1e-12);
}

TEST(ResampleTo, ExactAxisMatchesAreCopied) {
    auto a = std::make_shared<CCurve>(MakeCurve({10, 20, 40}, {1, 3, 9}, {0, 0, 0}));
    const CCurve target = Flat({20, 30, 40}, 1);
    const auto r = ResampleTo(a, target);
    EXPECT_EQ(r->First()[0], 3.0);
    EXPECT_NEAR(r->First()[1], 3.0 + 6.0 * std::log(30.0 / 40) / std::log(2.0) + 6.0, 1e-12);
    EXPECT_EQ(r->First()[2], 9.0);
}

TEST(Arithmetic, MultiplyAndScale) {
    CCurve a = MakeCurve({1, 2}, {2.0, 3.0}, {0.1, 0.2});
    CCurve b = MakeCurve({1, 2}, {4.0, 0.5}, {0.3, -0.2});
    Multiply(a, b);
    EXPECT_NEAR(a.First()[0], 8.0, 1e-12);
    EXPECT_NEAR(a.First()[1], 1.5, 1e-12);
    EXPECT_NEAR(a.Second()[0], 0.4, 1e-12);
    EXPECT_NEAR(a.Second()[1], 0.0, 1e-12);
    Scale(a, 0.0, 2.0);
    EXPECT_NEAR(a.First()[0], 16.0, 1e-12);
    EXPECT_NEAR(a.Second()[0], 0.4 + kPi / 2, 1e-12);
    Scale(a, 0.0, 0.0);
    EXPECT_EQ(a.First()[0], 0.0);
    EXPECT_NEAR(a.Second()[0], 0.4 + kPi / 2, 1e-12);
}

TEST(Arithmetic, DivideHandlesZeroDenominators) {
    CCurve a = MakeCurve({1, 2, 3, 4}, {6.0, 5.0, 0.0, 1e-41}, {1.0, 1.0, 1.0, 1.0});
    CCurve b = MakeCurve({1, 2, 3, 4}, {2.0, 0.0, 0.0, 1e-45}, {0.5, 0.25, 0.0, 0.0});
    Divide(a, b);
    EXPECT_NEAR(a.First()[0], 3.0, 1e-12);
    EXPECT_NEAR(a.Second()[0], 0.5, 1e-12);
    EXPECT_EQ(a.First()[1], 1e40);
    EXPECT_NEAR(a.Second()[1], 0.75, 1e-12);
    EXPECT_EQ(a.First()[2], 0.0);
    EXPECT_EQ(a.Second()[2], 0.0);
    EXPECT_EQ(a.First()[3], 0.0);
}

TEST(Arithmetic, DivideClearsANegligibleZeroFrequencyValue) {
    CCurve a = MakeCurve({0, 10}, {0.001, 2.0}, {0.3, 0.0});
    CCurve b = Flat({0, 10}, 1.0);
    Divide(a, b);
    EXPECT_EQ(a.First()[0], 0.0);
    EXPECT_EQ(a.Second()[0], 0.0);
    CCurve c = MakeCurve({0, 10}, {0.01, 2.0}, {0.3, 0.0});
    Divide(c, b);
    EXPECT_NEAR(c.First()[0], 0.01, 1e-15);
}

TEST(Arithmetic, AccumulatePowerSumsPowerAndWeightsPhase) {
    CCurve acc = MakeCurve({1, 2}, {0.0, 0.0}, {0.0, 0.0});
    CCurve x1 = MakeCurve({1, 2}, {3.0, 1.0}, {0.1, 0.1});
    CCurve x2 = MakeCurve({1, 2}, {4.0, 1.0}, {0.6, 2 * kPi - 0.1});
    AccumulatePower(acc, x1);
    AccumulatePower(acc, x2);
    EXPECT_NEAR(acc.First()[0], 25.0, 1e-12);
    EXPECT_NEAR(acc.Second()[0], (0.1 * 9 + 0.6 * 16) / 25, 1e-12);
    // Phases 0.1 and -0.1 (as 2pi - 0.1) average to 0, not to pi.
    EXPECT_NEAR(acc.First()[1], 2.0, 1e-12);
    EXPECT_NEAR(std::remainder(acc.Second()[1], 2 * kPi), 0.0, 1e-12);
    SqrtMagnitude(acc);
    EXPECT_NEAR(acc.First()[0], 5.0, 1e-12);
    SquareMagnitude(acc);
    EXPECT_NEAR(acc.First()[0], 25.0, 1e-12);
}

TEST(Arithmetic, LimitBoostCapsRunsAboveUnity) {
    CCurve c = MakeCurve({1, 2, 3, 4, 5, 6, 7, 8, 9}, {0.5, 1, 1.5, 3, 2, 1, 0.8, 4, 0.9},
                         std::vector<double>(9, 0.0));
    LimitBoost(c, 2.0);
    const std::vector<double> expected = {0.5, 1, 1.25, 2, 1.5, 1, 0.8, 2, 0.9};
    for (int i = 0; i < 9; ++i) {
        EXPECT_NEAR(c.First()[i], expected[i], 1e-12) << i;
    }
}

TEST(BandMeasures, BandMaxRmsAndPeak) {
    const CCurve c = MakeCurve({10, 20, 30, 40, 50}, {1, 5, 2, 7, 3}, {0.5, 0.1, 0.9, 0.2, 0.3});
    const auto [mf, ms] = BandMax(c, 15, 35);  // indexes 1 .. 3
    EXPECT_EQ(mf, 7.0);
    EXPECT_EQ(ms, 0.9);
    CCurve r = c;
    EXPECT_NEAR(BandRms(r, 20, 30), std::sqrt((25.0 + 4.0) / 2), 1e-12);
    EXPECT_EQ(BandRms(r, 31, 39), 0.0);
    EXPECT_EQ(PeakIndex(c, 10, 50), 3);
    EXPECT_EQ(PeakIndex(c, 10, 40), 1);  // the point at hi itself is not searched
    EXPECT_EQ(PeakIndex(c, 45, 15), -1);
    EXPECT_EQ(PeakIndex(c, 22, 24), 1);
}

TEST(BandMeasures, EdgesWalkWhileTheLevelHolds) {
    CCurve c = MakeCurve({10, 20, 30, 40, 50, 60}, {-20, -5, 0, -1, -4, -30},
                         std::vector<double>(6, 0.0), DataFormat::DbPhase);
    EXPECT_EQ(UpperEdge(c, 30, -6), 60.0);
    EXPECT_EQ(UpperEdge(c, 35, -3), 50.0);
    EXPECT_EQ(LowerEdge(c, 30, -6), 10.0);
    EXPECT_EQ(LowerEdge(c, 25, -40), 10.0);  // runs off the start
    EXPECT_EQ(UpperEdge(c, 25, -40), 60.0);  // runs off the end
}

TEST(Similarity, ToleratesThreeDbAndIgnoresQuietPoints) {
    const std::vector<double> f = {10, 20, 30, 40, 50};
    CCurve a = MakeCurve(f, {0, -2, -30, -40, 10}, std::vector<double>(5, 0), DataFormat::DbPhase);
    CCurve b = MakeCurve(f, {2, 0, -22, -25, 0}, std::vector<double>(5, 0), DataFormat::DbPhase);
    EXPECT_TRUE(IsSimilar(a, b, 10, 40));
    EXPECT_FALSE(IsSimilar(a, b, 10, 50));
    b.First()[2] = -18.0;  // only a is quiet there: 12 dB apart
    EXPECT_FALSE(IsSimilar(a, b, 10, 40));
    CCurve shorter = MakeCurve({10, 20}, {0, 0}, {0, 0}, DataFormat::DbPhase);
    EXPECT_FALSE(IsSimilar(a, shorter, 10, 40));
    CCurve e1, e2;
    EXPECT_TRUE(IsSimilar(e1, e2, 0, 100));
}

TEST(Construction, FromSamplesCloneCopyIntoResize) {
    const double samples[3] = {0.5, -1.0, 2.0};
    auto s = FromSamples(samples, 3, 48000.0);
    EXPECT_EQ(s->Kind(), AxisKind::Time);
    EXPECT_EQ(s->Format(), DataFormat::Cartesian);
    EXPECT_DOUBLE_EQ(s->X()[2], 2.0 / 48000);
    EXPECT_EQ(s->First()[1], -1.0);
    EXPECT_EQ(s->Second()[2], 0.0);

    s->name = L"samples";
    s->spare = 3.5;
    auto c = Clone(*s);
    EXPECT_NE(c, s);
    EXPECT_EQ(c->name, L"samples");
    EXPECT_EQ(c->spare, 3.5);
    EXPECT_EQ(c->First()[2], 2.0);

    CCurve d;
    d.name = L"kept";
    CopyInto(*s, d);
    EXPECT_EQ(d.name, L"kept");
    EXPECT_EQ(d.Count(), 3);
    EXPECT_EQ(d.Kind(), AxisKind::Time);

    Resize(d, 5);
    EXPECT_EQ(d.Count(), 5);
    EXPECT_EQ(d.data.second.Count(), 5);
    EXPECT_EQ(d.First()[1], -1.0);
    EXPECT_EQ(d.First()[4], 0.0);
    Resize(d, 2);
    EXPECT_EQ(d.Count(), 2);
    Resize(d, 3);
    EXPECT_EQ(d.First()[2], 0.0);  // regrown storage is zero, not the old value
    Resize(d, 0);
    EXPECT_EQ(d.Count(), 0);
    EXPECT_EQ(d.X(), nullptr);
}

TEST(Construction, HugeVectorsFailAllocation) {
    DbleVect v;
    EXPECT_THROW(v.Resize(1 << 29), std::bad_alloc);
    EXPECT_EQ(v.Count(), 0);
}

TEST(Construction, RemoveMean) {
    double v[4] = {1, 2, 3, 6};
    EXPECT_EQ(RemoveMean(v, 4), 3.0);
    EXPECT_EQ(v[0], -2.0);
    EXPECT_EQ(v[3], 3.0);
    EXPECT_EQ(RemoveMean(v, 0), 0.0);
}

// Every operation on curves of 0, 1 and 2 points, and on axes that are not ascending: no crash,
// no out-of-range access (checked under the address sanitizer), results of the right size.
TEST(EdgeCases, TinyAndUnorderedCurvesThroughEveryOperation) {
    std::vector<CCurve> curves;
    curves.emplace_back();
    curves.push_back(MakeCurve({0}, {1}, {0}));
    curves.push_back(MakeCurve({5}, {1}, {0.5}, DataFormat::Cartesian, AxisKind::Time));
    curves.push_back(MakeCurve({0, 10}, {1, 2}, {0, 1}));
    curves.push_back(MakeCurve({3, 3}, {1, 2}, {0, 1}, DataFormat::Cartesian, AxisKind::Time));
    curves.push_back(MakeCurve({30, 10, 20, 0, 5}, {1, 0, 3, 2, 1}, {4, -9, 0, 1, 2}));
    curves.push_back(MakeCurve({0.3, 0.1, 0.2, 0.0}, {1, 0, 3, 2}, {4, -9, 0, 1},
                               DataFormat::Cartesian, AxisKind::Time));
    for (const CCurve& original : curves) {
        const int n = original.Count();
        auto run = [&original](auto&& op) {
            CCurve c = original;
            op(c);
        };
        run([](CCurve& c) { ToCartesian(c); });
        run([](CCurve& c) { ToDbPhase(c); });
        run([](CCurve& c) { UnwrapPhase(c); });
        run([](CCurve& c) { ValueAt(c, 7.0, 1); });
        run([](CCurve& c) { ValueAt(c, -1.0, -3); });
        run([&](CCurve& c) {
            CCurve b = original;
            Multiply(c, b);
            EXPECT_EQ(c.Count(), n);
            Divide(c, b);
            AccumulatePower(c, b);
            Multiply(c, c);
            Divide(c, c);
            AccumulatePower(c, c);
            EXPECT_EQ(c.Count(), n);
        });
        run([](CCurve& c) {
            CCurve other = MakeCurve({1, 2, 3}, {1, 1, 1}, {0, 0, 0});
            Divide(c, other);
            Divide(other, c);
            EXPECT_EQ(other.Count(), 3);
        });
        run([](CCurve& c) { LimitBoost(c, 1.5); });
        run([](CCurve& c) { BandMax(c, 0, 100); });
        run([](CCurve& c) { BandMax(c, 100, 0); });
        run([](CCurve& c) { BandRms(c, 0, 100); });
        run([n](CCurve& c) {
            const int p = PeakIndex(c, 0, 100);
            EXPECT_TRUE(p == -1 || (p >= 0 && p < n));
        });
        run([](CCurve& c) { UpperEdge(c, 5, -10); });
        run([](CCurve& c) { LowerEdge(c, 5, -10); });
        run([](CCurve& c) {
            CCurve d = c;
            IsSimilar(c, d, 0, 100);
        });
        run([](CCurve& c) { Fft(c); });
        run([](CCurve& c) { InverseFft(c); });
        run([](CCurve& c) { ToUniformGrid(std::make_shared<CCurve>(c)); });
        run([](CCurve& c) { Smooth(c, 6, 25, 5, 48000, 1); });
        run([](CCurve& c) { Smooth(c, -3, 0, 5, 48000, 1); });
        run([](CCurve& c) { Smooth(c, 1, -1, 5, 48000, 1); });
        run([](CCurve& c) {
            auto p = std::make_shared<CCurve>(c);
            ResampleTo(p, MakeCurve({1, 50, 2}, {0, 0, 0}, {0, 0, 0}));
        });
    }
}
