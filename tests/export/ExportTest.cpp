// Exports read back: curve text through the calibration text reader, the equaliser listing
// rebuilt into sections, the SVG picture's size and contents.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <numbers>

#include "document/DocData.h"
#include "export/CurveExport.h"
#include "export/EqListing.h"
#include "export/PlotExport.h"
#include "measure/TextCalibration.h"
#include "threading/Errors.h"

namespace {

using namespace Exporting;

CurvePtr Response(double tilt, double phaseTurns) {
    const int n = 120;
    auto c = std::make_shared<CCurve>(n, AxisKind::Frequency, DataFormat::Cartesian);
    for (int i = 0; i < n; ++i) {
        const double f = 15.0 * std::pow(20.0, i / (n - 1.0));
        const double mag = std::pow(10.0, (tilt * std::log2(f / 15.0) - 20.0) / 20.0) / 3.0;
        const double ph = phaseTurns * 2.0 * std::numbers::pi * i / (n - 1.0);
        c->X()[i] = f;
        c->First()[i] = mag * std::cos(ph);
        c->Second()[i] = mag * std::sin(ph);
    }
    return c;
}

}  // namespace

TEST(CurveExport, TextReadsBackAsTheSameCurveWithinItsPrintedPrecision) {
    DocData data;
    data.name = L"Den";
    data.results = {Response(1.0, 3.0), Response(0.0, 0.0)};
    data.measurements = {Response(2.0, 1.0), Response(-1.5, 2.5)};
    for (const char* choice : {"average", "target", "position=2"}) {
        SCOPED_TRACE(choice);
        const auto selection = ParseCurveSelection(choice);
        ASSERT_TRUE(selection);
        const std::string text = MeasurementText(data, *selection);
        EXPECT_EQ(text.rfind("* ", 0), 0u);
        EXPECT_NE(text.find("* Curve: " + tsl::ToUtf8(CurveLabel(*selection))), std::string::npos);
        const auto back = Security::ParseTextCalibration(text, L"export.txt");
        const CCurve& original = *SelectCurve(data, *selection);
        ASSERT_EQ(back.curve->Count(), original.Count());
        for (int i = 0; i < original.Count(); ++i) {
            EXPECT_NEAR(back.curve->X()[i], original.X()[i], 5e-6 * original.X()[i]);
            EXPECT_NEAR(back.curve->First()[i], LevelDbAt(original, i), 0.0005);
            const double d = std::remainder(back.curve->Second()[i] - PhaseAt(original, i),
                                            2.0 * std::numbers::pi);
            EXPECT_NEAR(d, 0.0, 0.005 * std::numbers::pi / 180.0);
        }
    }
    EXPECT_FALSE(ParseCurveSelection("position=0"));
    EXPECT_FALSE(ParseCurveSelection("position=2x"));
    EXPECT_FALSE(ParseCurveSelection("measured"));
    EXPECT_EQ(AvailableCurves(data).size(), 4u);
    EXPECT_THROW(SelectCurve(data, {CurveChoice::Calculated}), tsl::wruntime_error);
    EXPECT_THROW(SelectCurve(data, {CurveChoice::Position, 3}), tsl::wruntime_error);
}

TEST(EqListing, ListedShapesRebuildTheSectionWithinATenthOfADecibel) {
    struct Case {
        SectionShape shape;
        double f, gain, q;
    };
    const Case cases[] = {
        {SectionShape::Peaking, 42.0, -9.5, 6.0},  {SectionShape::Peaking, 110.0, 4.0, 1.2},
        {SectionShape::Peaking, 25.0, -3.0, 0.7},  {SectionShape::LowShelf, 60.0, 6.0, 0.707},
        {SectionShape::LowShelf, 35.0, -4.0, 1.0}, {SectionShape::HighShelf, 150.0, -8.0, 0.6},
    };
    SectionArrays arrays = SectionArrays::Identity(std::size(cases) + 2);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Biquad b =
            DesignSection(cases[i].shape, cases[i].f, cases[i].gain, cases[i].q, kEqualiserRate);
        arrays.b0[i] = b.b0, arrays.b1[i] = b.b1, arrays.b2[i] = b.b2;
        arrays.a1[i] = b.a1, arrays.a2[i] = b.a2;
    }
    // The first peak scaled by -3 dB; a section of no common shape.
    arrays.b0[0] *= 0.708, arrays.b1[0] *= 0.708, arrays.b2[0] *= 0.708;
    const size_t odd = std::size(cases);
    arrays.b1[odd] = -1.9, arrays.b2[odd] = 0.95, arrays.a1[odd] = -1.7, arrays.a2[odd] = 0.8;
    EqResult eq;
    eq.gain = -2.5;
    eq.valid = 1;
    for (size_t i = 0; i < arrays.size(); ++i)
        eq.bands.push_back(GetBand(arrays, i));

    const auto sections = ListSections(eq, kEqualiserRate);
    ASSERT_EQ(sections.size(), arrays.size());
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const SectionInfo& s = sections[i];
        EXPECT_EQ(s.shape, cases[i].shape);
        EXPECT_NEAR(s.frequency, cases[i].f, 0.01);
        EXPECT_NEAR(s.gainDb, cases[i].gain, 0.01);
        EXPECT_NEAR(s.q, cases[i].q, 0.01);
        EXPECT_NEAR(s.levelDb, i == 0 ? 20.0 * std::log10(0.708) : 0.0, 1e-6);
        Biquad rebuilt = DesignSection(s.shape, s.frequency, s.gainDb, s.q, kEqualiserRate);
        const double k = std::pow(10.0, s.levelDb / 20.0);
        rebuilt.b0 *= k, rebuilt.b1 *= k, rebuilt.b2 *= k;
        for (double f = 5.0; f < 1500.0; f *= 1.05)
            EXPECT_NEAR(SectionLevelDb(rebuilt, f, kEqualiserRate),
                        SectionLevelDb(BandCoefficients(eq.bands[i]), f, kEqualiserRate), 0.1)
                << f;
    }
    EXPECT_EQ(sections[odd].shape, SectionShape::Other);
    EXPECT_EQ(sections[odd + 1].shape, SectionShape::Flat);

    const auto json = nlohmann::json::parse(EqListingJson(eq, kEqualiserRate, L"Den"));
    ASSERT_EQ(json["sections"].size(), arrays.size());
    EXPECT_EQ(json["sections"][0]["shape"], "peaking");
    EXPECT_NEAR(json["sections"][0]["frequency_hz"].get<double>(), 42.0, 0.01);
    EXPECT_FALSE(json["sections"][odd].contains("q"));
    EXPECT_DOUBLE_EQ(json["sections"][odd]["coefficients"]["a2"].get<double>(), 0.8);
    const std::string text = EqListingText(eq, kEqualiserRate, L"Den");
    EXPECT_NE(text.find("overall gain -2.5 dB, 8 sections at 3000 Hz"), std::string::npos);
    EXPECT_NE(text.find("low_shelf"), std::string::npos);
}

TEST(PlotExport, SvgHasTheChosenSizeTitleAxesAndLegend) {
    DocData data;
    data.name = L"Living <room>";
    data.results = {Response(1.0, 0.0), Response(0.0, 0.0), Response(-1.0, 0.0)};
    const auto curves = DocumentPlotCurves(data);
    ASSERT_EQ(curves.size(), 3u);
    const std::string svg = PlotSvg(curves, {640, 360, data.name});
    EXPECT_NE(svg.find("width=\"640\" height=\"360\""), std::string::npos);
    for (const char* text : {"Living &lt;room&gt;", "Frequency (Hz)", "Level (dB)", ">Measured<",
                             ">Target<", ">Calculated<", ">100<"})
        EXPECT_NE(svg.find(text), std::string::npos) << text;
    size_t polylines = 0;
    for (size_t at = svg.find("<polyline"); at != std::string::npos;
         at = svg.find("<polyline", at + 1))
        ++polylines;
    EXPECT_GE(polylines, 6u);  // each curve and its legend sample
    EXPECT_THROW(PlotSvg(curves, {100, 360, {}}), tsl::wruntime_error);
    EXPECT_THROW(PlotSvg(curves, {640, 9000, {}}), tsl::wruntime_error);
}
