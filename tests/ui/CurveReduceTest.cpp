#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "ui/graph/CurveReduce.h"

using namespace Graphing;

namespace {

struct Drawn {
    std::vector<std::vector<PixelPoint>> lines;
    size_t Points() const {
        size_t n = 0;
        for (const auto& l : lines) {
            n += l.size();
        }
        return n;
    }
};

Drawn Reduce(const CGraphMap& m, const std::vector<double>& x, const std::vector<double>& y) {
    Drawn d;
    std::vector<PixelPoint> scratch;
    ReduceCurve(
        m, x, y, [&](std::span<const PixelPoint> p) { d.lines.emplace_back(p.begin(), p.end()); },
        scratch);
    return d;
}

}  // namespace

TEST(CurveReduce, LongCurveCostsAtMostFourPointsPerColumnAndKeepsASpike) {
    CGMapLogLin m;
    m.SetRect(0, 300, 500, 300);
    m.SetRanges(20.0, 1000.0, -60.0, 20.0);
    const int n = 32769;
    std::vector<double> x(n), y(n);
    for (int i = 0; i < n; ++i) {
        x[i] = 20.0 * std::pow(50.0, i / double(n - 1));  // every point inside the range
        y[i] = -30.0 + 5.0 * std::sin(i * 0.01);
    }
    y[n / 2] = 15.0;  // one point wide
    const Drawn d = Reduce(m, x, y);
    ASSERT_EQ(d.lines.size(), 1u);
    EXPECT_LE(d.Points(), 2000u);
    EXPECT_EQ(d.lines[0].front(), m.ToPixel(x.front(), y.front()));
    EXPECT_EQ(d.lines[0].back(), m.ToPixel(x.back(), y.back()));
    int top = m.Bottom();
    for (const PixelPoint& p : d.lines[0]) {
        top = std::min(top, p.y);
    }
    EXPECT_EQ(top, m.YToPixel(15.0));
    // Every drawn pixel is the map's own pixel of some point (columns found without the
    // logarithm agree with the map).
    std::set<std::pair<int, int>> mapped;
    for (int i = 0; i < n; ++i) {
        const PixelPoint p = m.ToPixel(x[i], y[i]);
        mapped.insert({p.x, p.y});
    }
    for (const PixelPoint& p : d.lines[0]) {
        ASSERT_TRUE(mapped.count({p.x, p.y})) << p.x << "," << p.y;
    }
}

TEST(CurveReduce, NothingForMismatchedCountsOrPointsOutsideTheRange) {
    CGMapLinLin m;
    m.SetRect(0, 100, 100, 100);
    m.SetRanges(10.0, 20.0, 0.0, 1.0);
    EXPECT_TRUE(Reduce(m, {10.0, 15.0, 20.0}, {0.0, 1.0}).lines.empty());
    EXPECT_TRUE(Reduce(m, {1.0, 2.0, 25.0, 30.0}, {0.0, 1.0, 0.0, 1.0}).lines.empty());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // The range ends themselves are drawn; NaN axis values are skipped.
    const Drawn d = Reduce(m, {5.0, 10.0, nan, 20.0, 21.0}, {0.0, 0.5, 0.5, 1.0, 0.0});
    ASSERT_EQ(d.lines.size(), 1u);
    EXPECT_EQ(d.lines[0], (std::vector<PixelPoint>{{0, 50}, {100, 0}}));
    // A single point makes no line.
    EXPECT_TRUE(Reduce(m, {15.0}, {0.5}).lines.empty());
}

TEST(CurveReduce, ColumnRunKeepsFirstHighestLowestLast) {
    CGMapLinLin m;
    m.SetRect(0, 100, 10, 100);
    m.SetRanges(0.0, 10.0, 0.0, 100.0);
    // Five points in column 0, then one in column 5.
    const Drawn d = Reduce(m, {0.0, 0.1, 0.2, 0.3, 0.4, 5.0}, {50.0, 90.0, 10.0, 60.0, 40.0, 40.0});
    ASSERT_EQ(d.lines.size(), 1u);
    EXPECT_EQ(d.lines[0], (std::vector<PixelPoint>{{0, 50}, {0, 10}, {0, 90}, {0, 60}, {5, 60}}));
}

TEST(CurveReduce, VeryLongOutputIsSplitIntoJoinedPolylines) {
    CGMapLinLin m;
    const int width = 40000;
    m.SetRect(0, 100, width, 100);
    m.SetRanges(0.0, width, 0.0, 1.0);
    std::vector<double> x, y;
    for (int i = 0; i <= width; ++i) {
        for (int k = 0; k < 3; ++k) {  // first, high, low in every column
            x.push_back(i + k * 0.25);
            y.push_back(k == 1 ? 1.0 : k == 2 ? 0.0 : 0.5);
        }
    }
    const Drawn d = Reduce(m, x, y);
    ASSERT_GE(d.lines.size(), 2u);
    for (size_t i = 0; i < d.lines.size(); ++i) {
        EXPECT_LE(d.lines[i].size(), kMaxPolylinePoints);
        if (i > 0) {
            EXPECT_EQ(d.lines[i].front(), d.lines[i - 1].back());
        }
    }
    EXPECT_EQ(d.lines.back().back().x, width);
}

// A curve that leaves the plot is cut at the edge: its line ends where it crosses the edge and
// resumes where it comes back, so a peak above the top never reads as a plateau along it.
TEST(CurveReduce, ACurveLeavingThePlotIsCutAtTheEdgeNotDrawnAlongIt) {
    CGMapLinLin m;
    m.SetRect(0, 100, 100, 100);  // pixel y = 100 - value
    m.SetRanges(0.0, 100.0, 0.0, 100.0);
    // Up through the top, back down, up again, then from above the top to below the bottom in
    // one step.
    const Drawn d =
        Reduce(m, {0, 10, 20, 30, 40, 50, 60, 70, 80}, {50, 90, 130, 150, 130, 90, 50, 150, -50});
    EXPECT_EQ(d.lines, (std::vector<std::vector<PixelPoint>>{{{0, 50}, {10, 10}, {12, 0}},
                                                             {{47, 0}, {50, 10}, {60, 50}, {65, 0}},
                                                             {{72, 0}, {77, 100}}}));
    for (const auto& line : d.lines) {
        for (size_t i = 1; i + 1 < line.size(); ++i) {
            EXPECT_GT(line[i].y, 0);
            EXPECT_LT(line[i].y, 100);
        }
    }
    // A value that is not a number breaks the line as well.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Reduce(m, {0, 10, 20, 30}, {50, nan, 50, 60}).lines,
              (std::vector<std::vector<PixelPoint>>{{{20, 50}, {30, 40}}}));
}
