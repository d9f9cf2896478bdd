#include <gtest/gtest.h>

#include <cmath>
#include <cwchar>
#include <vector>

#include "ui/graph/Graph.h"

using namespace Graphing;

namespace {

CGraph LaidOut(Domain domain = Domain::Frequency) {
    CGraph g(domain);
    g.Layout(800, 500, 8, 16);
    return g;
}

}  // namespace

TEST(GraphZoom, NarrowSpanZoomsOnlyTheLevelAxis) {
    CGraph g = LaidOut();
    g.SetRanges(20.0, 200.0, -50.0, 0.0);  // log10(180) < 2.5
    ASSERT_TRUE(g.ZoomAtCentre(true));
    const Ranges r = g.GetRanges();
    EXPECT_NEAR(r.x0, 20.0, 1e-9);
    EXPECT_NEAR(r.x1, 200.0, 1e-9);
    EXPECT_NEAR(r.y0, -47.5, 1e-9);
    EXPECT_NEAR(r.y1, -2.5, 1e-9);
    // Below a 5 dB span the level axis stays too.
    g.SetRanges(20.0, 200.0, -4.0, 0.0);
    g.ZoomAtCentre(true);
    EXPECT_NEAR(g.GetRanges().y0, -4.0, 1e-9);
}

TEST(GraphZoom, ZoomInShrinksBothEndsOnTheLogAxis) {
    CGraph g = LaidOut();
    g.ZoomAtCentre(true);
    const Ranges r = g.GetRanges();
    // 5 % of the logarithmic length at each end.
    EXPECT_NEAR(std::log(r.x0), std::log(20.0) + 0.05 * std::log(50.0), 1e-9);
    EXPECT_NEAR(std::log(r.x1), std::log(1000.0) - 0.05 * std::log(50.0), 1e-9);
}

TEST(GraphZoom, CursorPansTowardsItselfAndLimitsHold) {
    CGraph g = LaidOut();
    const PixelRect plot = g.Map().Rect();
    g.Zoom({plot.right, plot.top}, true);
    Ranges r = g.GetRanges();
    EXPECT_GT(r.x0, 20.0);
    EXPECT_NEAR(r.x1, 1000.0, 1e-9);  // pushed past the limit, shifted back
    EXPECT_GT(r.y0, -50.0);
    // Outside the plot the centre is used: no pan, symmetric shrink on y.
    g.SetRanges(20.0, 1000.0, -50.0, 0.0);
    g.Zoom({0, 0}, true);
    r = g.GetRanges();
    EXPECT_NEAR(r.y0 + r.y1, -50.0, 1e-9);

    for (int i = 0; i < 200; ++i) {
        g.ZoomAtCentre(false);
    }
    EXPECT_EQ(g.GetRanges(), (Ranges{20.0, 1000.0, -150.0, 150.0}));
}

TEST(GraphZoom, RubberBandZoomsToItsCornersAndBlocksTheWheel) {
    CGraph g = LaidOut();
    const CGraphMap& m = g.Map();
    const PixelPoint a{m.XToPixel(100.0), m.YToPixel(-10.0)};
    const PixelPoint b{m.XToPixel(50.0), m.YToPixel(-30.0)};
    g.BeginRubberBand(a);
    g.DragRubberBand({-100, -100});  // clamped into the plot
    EXPECT_EQ(g.RubberBand().left, m.Left());
    EXPECT_EQ(g.RubberBand().top, m.Rect().top);
    const Ranges before = g.GetRanges();
    EXPECT_FALSE(g.ZoomAtCentre(true));
    EXPECT_EQ(g.GetRanges(), before);
    ASSERT_TRUE(g.EndRubberBand(b));
    const Ranges r = g.GetRanges();
    EXPECT_NEAR(r.x0, 50.0, 1.0);
    EXPECT_NEAR(r.x1, 100.0, 1.0);
    EXPECT_NEAR(r.y0, -30.0, 0.2);
    EXPECT_NEAR(r.y1, -10.0, 0.2);
    // Released where it started: nothing changes.
    g.BeginRubberBand(a);
    EXPECT_FALSE(g.EndRubberBand(a));
    EXPECT_EQ(g.GetRanges(), r);
}

TEST(GraphReadout, UnitsPhaseAndLength) {
    CGraph g = LaidOut();
    const CGraphMap& m = g.Map();
    g.SetRanges(20.0, 1000.0, -50.0, 0.0);
    EXPECT_EQ(g.XReadout(m.Left()), L"20.00 Hz");
    EXPECT_EQ(g.YReadout(m.Bottom()), L"-50.00 dB");
    g.SetPhaseDisplay(true);
    EXPECT_EQ(g.YReadout(m.Bottom()), L"-50.00 Rad");
    CGraph time(Domain::Time, XScale::Linear, YMode::Linear);
    time.Layout(800, 500, 8, 16);
    EXPECT_EQ(time.XReadout(time.Map().Left() + time.Map().Width()), L"250.00 ms");
    EXPECT_EQ(time.YReadout(time.Map().Bottom()), L"-1.00");
    time.SetRanges(0.0, 0.25, -1e30, 1e30);
    EXPECT_EQ(time.YReadout(time.Map().Bottom()).size(), 20u);

    // The curve nearest the pointer, vertically, with its value at the pointer's frequency
    // (interpolated on the log axis); a band and a curve that stops short are passed over.
    g.SetPhaseDisplay(false);
    const std::vector<double> x{20.0, 200.0}, high{-10.0, -20.0}, low{-40.0, -40.0},
        short_x{20.0, 50.0}, short_y{-30.0, -30.0};
    const std::vector<DrawEntry> curves{{x, high, {}, {}, L"Measured"},
                                        {x, low, {}, {}, L"Target"},
                                        {x, high, {}, low, L"Spread"},
                                        {short_x, short_y, {}, {}, L"Position 1"}};
    const int at63 = m.XToPixel(std::sqrt(20.0 * 200.0));
    wchar_t expected[40];
    std::swprintf(expected, 40, L"Measured %.2f dB",
                  -10.0 - 10.0 * std::log10(m.PixelToX(at63) / 20.0));
    EXPECT_EQ(g.CurveReadout(curves, {at63, m.YToPixel(-14.0)}), expected);
    EXPECT_EQ(g.CurveReadout(curves, {at63, m.YToPixel(-32.0)}), L"Target -40.00 dB");
    EXPECT_EQ(g.CurveReadout(curves, {m.XToPixel(30.0), m.YToPixel(-32.0)}),
              L"Position 1 -30.00 dB");
    EXPECT_EQ(g.CurveReadout(curves, {m.XToPixel(500.0), m.YToPixel(-32.0)}), L"");
}

TEST(GraphRescale, FitsTheCurvesWithinTheLimits) {
    CGraph g = LaidOut();
    CurveList curves;
    g.SetCurveSource(&curves);
    g.SetRanges(100.0, 200.0, -1.0, 1.0);
    g.Rescale();  // nothing to show: the initial ranges
    EXPECT_EQ(g.GetRanges(), g.InitialRanges());

    GraphCurve c;
    for (int i = 0; i <= 2400; ++i) {
        c.x.push_back(i * 10.0);  // 0 ... 24 kHz
        c.y.push_back(i * 10.0 < 500.0 ? -12.0 : -800.0);
    }
    c.y[10] = 3.0;  // 100 Hz
    curves.curves.push_back(c);
    curves.curves.push_back({{1.0, 2.0}, {50.0}, {}});  // counts differ: ignored
    g.Rescale();
    const Ranges r = g.GetRanges();
    EXPECT_EQ(r.x0, 20.0);
    EXPECT_EQ(r.x1, 1000.0);
    EXPECT_EQ(r.y0, -150.0);
    EXPECT_GE(r.y1, 3.0);
    EXPECT_LE(r.y1, 20.0);
}

// The wheel's zoom keeps the frequency and level under the pointer in place, in and out; the
// keys' pan moves x by tenths of its length and stops at the limits.
TEST(GraphZoom, AnchoredZoomKeepsThePointUnderThePointerAndPanStopsAtTheLimits) {
    CGraph g = LaidOut();
    g.SetRanges(30.0, 600.0, -40.0, 0.0);
    const PixelRect plot = g.Map().Rect();
    const PixelPoint pointer{plot.left + (plot.right - plot.left) / 3,
                             plot.top + (plot.bottom - plot.top) / 4};
    const double f = g.Map().PixelToX(pointer.x);
    const double level = g.Map().PixelToY(pointer.y);
    for (bool in : {true, true, true, false}) {
        ASSERT_TRUE(g.ZoomAnchored(pointer, in));
        EXPECT_NEAR(g.Map().PixelToX(pointer.x), f, f * 0.01);
        EXPECT_NEAR(g.Map().PixelToY(pointer.y), level, 0.25);
    }
    EXPECT_LT(g.GetRanges().x1 - g.GetRanges().x0, 570.0);

    g.SetRanges(100.0, 400.0, -40.0, 0.0);
    ASSERT_TRUE(g.Pan(1));
    EXPECT_NEAR(std::log(g.GetRanges().x0), std::log(100.0) + 0.1 * std::log(4.0), 1e-9);
    EXPECT_DOUBLE_EQ(g.GetRanges().y0, -40.0);
    for (int i = 0; i < 50; ++i)
        g.Pan(-1);
    EXPECT_DOUBLE_EQ(g.GetRanges().x0, 20.0);
    EXPECT_NEAR(std::log(g.GetRanges().x1), std::log(20.0) + std::log(4.0), 1e-9);
}
