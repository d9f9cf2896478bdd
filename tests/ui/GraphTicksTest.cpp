#include <gtest/gtest.h>

#include <algorithm>

#include "ui/graph/Graph.h"

using namespace Graphing;

namespace {

std::vector<std::wstring> Labels(const std::vector<Tick>& ticks) {
    std::vector<std::wstring> out;
    for (const Tick& t : ticks) {
        if (!t.label.empty()) {
            out.push_back(t.label);
        }
    }
    return out;
}

}  // namespace

TEST(GraphLabels, KiloHertzMillisecondsAndEightDigits) {
    EXPECT_EQ(FormatLabel(2000.0, LabelKind::Frequency), L"2k");
    EXPECT_EQ(FormatLabel(1500.0, LabelKind::Frequency), L"1.5k");
    EXPECT_EQ(FormatLabel(999.0, LabelKind::Frequency), L"999");
    EXPECT_EQ(FormatLabel(0.0125, LabelKind::Time), L"12.5");
    EXPECT_EQ(FormatLabel(2000.0, LabelKind::Plain), L"2000");
    EXPECT_EQ(FormatNumber(0.1 + 0.2), L"0.3");
    EXPECT_EQ(FormatNumber(123456789.0), L"1.2345679e+08");
}

TEST(GraphTicks, GridStepIsAFifthHalfOrWholeDecade) {
    EXPECT_DOUBLE_EQ(GridStep(0.5, 2.0), 0.2);
    EXPECT_DOUBLE_EQ(GridStep(0.0, 3.0), 0.5);
    EXPECT_DOUBLE_EQ(GridStep(-50.0, 0.0), 10.0);
    EXPECT_DOUBLE_EQ(GridStep(20.0, 1000.0), 100.0);
    EXPECT_EQ(GridStep(1.0, 1.0), 0.0);
    EXPECT_EQ(GridStep(2.0, 1.0), 0.0);
}

TEST(GraphTicks, DecadesWithMajorLabelsAndOnePercentTolerance) {
    CGraph g;
    g.Layout(800, 500, 8, 16);
    g.SetRanges(20.1, 1000.0, -50.0, 0.0);
    EXPECT_EQ(Labels(g.XTicks()),
              (std::vector<std::wstring>{L"20", L"50", L"100", L"200", L"500", L"1k"}));
    const auto& t = g.XTicks();
    const auto minors = std::count_if(t.begin(), t.end(), [](const Tick& k) { return !k.major; });
    EXPECT_EQ(minors, 6 + 7);       // 30 ... 90 and 150, 300 ... 900
    EXPECT_EQ(g.XGridStep(), 1.0);  // decades
    for (const Tick& k : t) {
        EXPECT_GE(k.pixel, g.Map().Left());
        EXPECT_LE(k.pixel, g.Map().Left() + g.Map().Width());
    }
    // 1 ... 10^7 shows five decades: the first label is 100 and the last 10000k.
    g.SetRanges(1.0, 1e7, -50.0, 0.0);
    const auto labels = Labels(g.XTicks());
    EXPECT_EQ(labels.front(), L"100");
    EXPECT_EQ(labels.back(), L"10000k");
    EXPECT_EQ(g.XGridStep(), 5.0);
}

TEST(GraphTicks, LessThanADecadeUsesLinearTicks) {
    CGraph g(Domain::Frequency, XScale::Log, YMode::LogMagnitude);
    g.Layout(800, 500, 8, 16);
    g.SetRanges(20.0, 1000.0, 0.5, 2.0);
    EXPECT_EQ(Labels(g.YTicks()), (std::vector<std::wstring>{L"0.6", L"0.8", L"1", L"1.2", L"1.4",
                                                             L"1.6", L"1.8", L"2"}));
    EXPECT_DOUBLE_EQ(g.YGridStep(), 0.2);
    g.SetRanges(200.0, 1000.0, 1.0, 10.0);  // 0.7 decades on x
    EXPECT_EQ(Labels(g.XTicks()).front(), L"300");
    EXPECT_EQ(Labels(g.XTicks()).back(), L"1k");
}

TEST(GraphTicks, LinearTicksLabelNearZeroAsZero) {
    CGraph g(Domain::Frequency, XScale::Linear, YMode::Level);
    g.Layout(800, 500, 8, 16);
    EXPECT_EQ(Labels(g.YTicks()),
              (std::vector<std::wstring>{L"-0.8", L"-0.6", L"-0.4", L"-0.2", L"0", L"0.2", L"0.4",
                                         L"0.6", L"0.8", L"1"}));
    // The first tick lies past the minimum even when the minimum is on the grid.
    EXPECT_EQ(Labels(g.XTicks()).front(), L"100");
    g.SetRanges(20.0, 1000.0, 3.0, 3.0);  // empty span: no ticks, no endless loop
    EXPECT_TRUE(g.YTicks().empty());
}

TEST(GraphTicks, TimeAxisIsLabelledInMilliseconds) {
    CGraph g(Domain::Time, XScale::Linear, YMode::Linear);
    g.Layout(800, 500, 8, 16);
    EXPECT_EQ(Labels(g.XTicks()),
              (std::vector<std::wstring>{L"50", L"100", L"150", L"200", L"250"}));
}

namespace {

struct Recorder : IGraphPainter {
    std::vector<std::wstring> texts;
    int marks = 0;
    void Fill(const PixelRect&, Color) override {}
    void Line(PixelPoint, PixelPoint, LineKind kind) override { marks += kind == LineKind::Mark; }
    void Text(PixelPoint, TextAnchor, const std::wstring& text, TextKind) override {
        texts.push_back(text);
    }
    void Polyline(std::span<const PixelPoint>, const Pen&) override {}
};

}  // namespace

TEST(Graph, FrameCarriesTitleAxisLabelAndMarksAtBothEnds) {
    CGraph g;
    g.Layout(800, 500, 8, 16);
    g.SetTitle(L"Subwoofer");
    Recorder r;
    g.DrawFrame(r);
    EXPECT_NE(std::find(r.texts.begin(), r.texts.end(), L"Subwoofer"), r.texts.end());
    EXPECT_NE(std::find(r.texts.begin(), r.texts.end(), L"Frequency (Hz)"), r.texts.end());
    EXPECT_NE(std::find(r.texts.begin(), r.texts.end(), L"Level (dB)"), r.texts.end());
    // The lowest level, on the grid, is labelled at the frame's bottom edge.
    g.SetRanges(20.0, 1000.0, -50.0, 0.0);
    Recorder low;
    g.DrawFrame(low);
    EXPECT_NE(std::find(low.texts.begin(), low.texts.end(), L"-50"), low.texts.end());
    EXPECT_EQ(r.marks, 2 * static_cast<int>(g.XTicks().size() + g.YTicks().size()));
}

// Labels keep a gap of about their own height: on a short plot every other level is labelled,
// the grid lines stay, and the same plot at twice the scale looks the same.
TEST(GraphTicks, CrowdedLabelsAreThinnedAlikeAtEveryScale) {
    auto levels = [](int scale, int height) {
        CGraph g;
        g.Layout(800 * scale, height * scale, 8 * scale, 16 * scale);
        g.SetRanges(20.0, 1000.0, -18.0, 0.0);
        EXPECT_EQ(g.YTicks().size(), 9u);
        return Labels(g.YTicks());
    };
    EXPECT_EQ(levels(1, 500), (std::vector<std::wstring>{L"-16", L"-14", L"-12", L"-10", L"-8",
                                                         L"-6", L"-4", L"-2", L"0"}));
    const std::vector<std::wstring> thinned{L"-16", L"-12", L"-8", L"-4", L"0"};
    EXPECT_EQ(levels(1, 200), thinned);
    EXPECT_EQ(levels(2, 200), thinned);
}
