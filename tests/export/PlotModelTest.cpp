// The document as the graph draws it.

#include <gtest/gtest.h>

#include "document/DocData.h"
#include "export/PlotModel.h"
#include "measure/Curve.h"

namespace {

CurvePtr Response(AxisKind kind, double magnitude) {
    auto c = std::make_shared<CCurve>(3, kind, DataFormat::MagPhase);
    for (int i = 0; i < 3; ++i) {
        c->X()[i] = 20.0 * (i + 1);
        c->First()[i] = magnitude;
        c->Second()[i] = 0.5;
    }
    return c;
}

TEST(PlotModel, PensColoursAndValuesWithoutConvertingTheDocument) {
    DocData data;
    data.colours = {0x0000FF, 0xFF0000, 0x800080};
    data.results = {Response(AxisKind::Frequency, 10.0), Response(AxisKind::Time, 1.0),
                    Response(AxisKind::Frequency, 1.0), Response(AxisKind::Frequency, 0.1),
                    Response(AxisKind::Frequency, 0.0)};
    auto curves = DocumentCurves(data, Graphing::Domain::Frequency, Graphing::YMode::Level, false);
    ASSERT_EQ(curves.size(), 4u);  // the time curve is not drawn on a frequency graph
    EXPECT_NEAR(curves[0].y[0], 20.0, 1e-9);
    EXPECT_NEAR(curves[1].y[2], 0.0, 1e-9);
    EXPECT_NEAR(curves[2].y[1], -20.0, 1e-9);
    EXPECT_EQ(curves[3].y[0], kZeroLevelDb);
    // Pens by drawn position: solid 4, dotted 1, solid 4, then again.
    EXPECT_EQ(curves[0].pen, (Graphing::Pen{0x0000FF, 4, Graphing::PenStyle::Solid}));
    EXPECT_EQ(curves[1].pen, (Graphing::Pen{0xFF0000, 1, Graphing::PenStyle::Dot}));
    EXPECT_EQ(curves[2].pen, (Graphing::Pen{0x800080, 4, Graphing::PenStyle::Solid}));
    EXPECT_EQ(curves[3].pen, (Graphing::Pen{0x0000FF, 4, Graphing::PenStyle::Solid}));
    EXPECT_EQ(data.results[0]->Format(), DataFormat::MagPhase);

    auto phase = DocumentCurves(data, Graphing::Domain::Frequency, Graphing::YMode::Level, true);
    EXPECT_NEAR(phase[0].y[0], 0.5, 1e-12);
    auto magnitude =
        DocumentCurves(data, Graphing::Domain::Frequency, Graphing::YMode::Linear, false);
    EXPECT_NEAR(magnitude[0].y[0], 10.0, 1e-12);
    auto time = DocumentCurves(data, Graphing::Domain::Time, Graphing::YMode::Level, false);
    ASSERT_EQ(time.size(), 1u);
    EXPECT_EQ(time[0].pen.width, 4);  // positions count among the drawn curves only
}

// Repaints draw from the model; only a change of the document, the options or the axes rebuilds
// it.
TEST(PlotModel, BuildsOncePerChange) {
    DocData data;
    data.results = {Response(AxisKind::Frequency, 1.0)};
    data.measurements = {Response(AxisKind::Frequency, 1.0), Response(AxisKind::Frequency, 2.0)};
    PlotModel model;
    model.SetDocument(&data);
    const PlotAxes level;
    EXPECT_EQ(model.Entries(level).size(), 1u);
    EXPECT_EQ(model.Entries(level).size(), 1u);
    EXPECT_EQ(model.Builds(), 1);
    model.SetOptions({true, true, -1});
    ASSERT_EQ(model.Curves(level).size(), 4u);  // the spread, two positions, the result
    EXPECT_EQ(model.Curves(level)[0].label, L"Spread");
    EXPECT_EQ(model.Curves(level)[2].label, L"Position 2");
    EXPECT_EQ(model.Curves(level)[3].label, L"Measured");
    EXPECT_EQ(model.Builds(), 2);
    data.results.push_back(Response(AxisKind::Frequency, 3.0));
    EXPECT_EQ(model.Curves(level).size(), 4u);  // not told yet
    model.DocumentChanged();
    EXPECT_EQ(model.Curves(level).size(), 5u);
    EXPECT_EQ(model.Curves({Graphing::Domain::Frequency, Graphing::YMode::Level, true}).size(),
              4u);  // no spread of phases
    EXPECT_EQ(model.Builds(), 4);
}

// Positions in shades of the measured colour, each its own; the selected one last and wider.
TEST(PlotModel, PositionsTellApartAndTheSelectedOneIsOnTop) {
    DocData data;
    data.results = {Response(AxisKind::Frequency, 1.0)};
    for (int p = 0; p < 3; ++p)
        data.measurements.push_back(Response(AxisKind::Frequency, 1.0 + p));
    const auto plain = DocumentPlot(data, {}, {false, true, -1});
    ASSERT_EQ(plain.size(), 4u);
    EXPECT_NE(plain[0].curve.pen.color, plain[1].curve.pen.color);
    EXPECT_NE(plain[1].curve.pen.color, plain[2].curve.pen.color);
    EXPECT_EQ(plain[1].curve.pen.color, data.colours[0]);  // the middle one is the colour itself
    const auto chosen = DocumentPlot(data, {}, {false, true, 0});
    ASSERT_EQ(chosen.size(), 4u);
    EXPECT_EQ(chosen.back().label, L"Position 1");
    EXPECT_EQ(chosen.back().curve.pen.width, 3);
    EXPECT_EQ(chosen.back().curve.pen.color, plain[0].curve.pen.color);
    EXPECT_EQ(chosen[0].label, L"Position 2");
}

}  // namespace
