#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ui/graph/Graph.h"

using namespace Graphing;

TEST(GraphMap, LinearMapTruncatesClampsAndInverts) {
    CGMapLinLin m;
    m.SetRect(10, 200, 100, 100);
    m.SetRanges(0.0, 100.0, 0.0, 10.0);
    EXPECT_EQ(m.XToPixel(50.0), 60);
    EXPECT_EQ(m.XToPixel(50.9), 60);  // truncated
    EXPECT_EQ(m.XToPixel(150.0), 110);
    EXPECT_EQ(m.XToPixelUnclamped(150.0), 160);
    EXPECT_EQ(m.YToPixel(10.0), 100);  // larger values higher up
    EXPECT_EQ(m.YToPixel(0.0), 200);
    EXPECT_EQ(m.YToPixel(-5.0), 200);
    EXPECT_DOUBLE_EQ(m.PixelToX(60), 50.0);
    EXPECT_DOUBLE_EQ(m.PixelToXClamped(500), 100.0);
    EXPECT_DOUBLE_EQ(m.PixelToYClamped(0), 10.0);
    EXPECT_EQ(m.ClampPixel({0, 999}), (PixelPoint{10, 200}));
    EXPECT_EQ(m.Rect(), (PixelRect{10, 100, 110, 200}));
}

TEST(GraphMap, DegenerateInputsStayInsideThePlot) {
    CGMapLinLin m;
    m.SetRect(10, 200, 100, 100);
    m.SetRanges(5.0, 5.0, 0.0, 1.0);
    EXPECT_EQ(m.XToPixel(5.0), 10);
    EXPECT_EQ(m.XToPixelUnclamped(1e300), 10);
    m.SetRanges(0.0, 1.0, 0.0, 1.0);
    EXPECT_EQ(m.XToPixel(std::numeric_limits<double>::quiet_NaN()), 10);
    EXPECT_EQ(m.YToPixel(std::numeric_limits<double>::infinity()), 100);
    const int far = m.XToPixelUnclamped(1e300);
    EXPECT_GT(far, 1000000);  // huge, but no overflow
}

TEST(GraphMap, LogAxisNeverSpansMoreThanFiveDecades) {
    CGMapLogLin m;
    m.SetRect(0, 100, 500, 100);
    m.SetRanges(1.0, 1e7, -50.0, 0.0);
    EXPECT_NEAR(m.X0(), 100.0, 1e-9);
    EXPECT_DOUBLE_EQ(m.X1(), 1e7);
    // Zero and negative lower ends are limited the same way.
    m.SetRanges(0.0, 1000.0, -50.0, 0.0);
    EXPECT_NEAR(m.X0(), 0.01, 1e-15);
    // The geometric middle lies in the middle of the plot; the exact ends stay the set values.
    m.SetRanges(20.0, 1000.0, -50.0, 0.0);
    EXPECT_EQ(m.X0(), 20.0);
    EXPECT_EQ(m.XToPixel(std::sqrt(20.0 * 1000.0)), 250);
    EXPECT_EQ(m.XToPixel(20.0), 0);
    EXPECT_EQ(m.XToPixel(1000.0), 500);
    EXPECT_NEAR(m.PixelToX(500), 1000.0, 1e-9);
}

TEST(GraphMap, ChosenFromScaleSettingsWithInitialRanges) {
    struct Case {
        XScale x;
        YMode y;
        bool logX, logY;
        double y0, y1;
    };
    for (const Case& c : {Case{XScale::Log, YMode::LogMagnitude, true, true, 1.0, 10.0},
                          Case{XScale::Linear, YMode::LogMagnitude, false, true, 1.0, 10.0},
                          Case{XScale::Log, YMode::Level, true, false, -50.0, 0.0},
                          Case{XScale::Log, YMode::Linear, true, false, -50.0, 0.0},
                          Case{XScale::Linear, YMode::Level, false, false, -1.0, 1.0}}) {
        CGraph g(Domain::Frequency, c.x, c.y);
        EXPECT_EQ(g.Map().LogX(), c.logX);
        EXPECT_EQ(g.Map().LogY(), c.logY);
        EXPECT_EQ(g.GetRanges(), (Ranges{20.0, 1000.0, c.y0, c.y1}));
    }
    CGraph time(Domain::Time, XScale::Linear, YMode::Linear);
    EXPECT_EQ(time.GetRanges().x1, 0.25);
    EXPECT_EQ(time.Title(), L"Time Domain");
    EXPECT_EQ(time.AxisLabel(), L"Time (ms)");
    CGraph freq;
    EXPECT_EQ(freq.Title(), L"Frequency Domain");
    EXPECT_EQ(freq.AxisLabel(), L"Frequency (Hz)");
    EXPECT_EQ(freq.Background(), Rgb(255, 255, 245));
}

TEST(Graph, LayoutUsesFontMargins) {
    CGraph g;
    g.Layout(800, 500, 8, 16);
    // left 10 w, right 5 w, top 2 h, bottom 3 h
    EXPECT_EQ(g.Map().Rect(), (PixelRect{80, 32, 760, 452}));
    g.Layout(10, 10, 8, 16);  // too small: a one-pixel plot, no negative sizes
    EXPECT_EQ(g.Map().Width(), 1);
    EXPECT_EQ(g.Map().Height(), 1);
}
