// The window program's texts, brands, command line, recent files and curve provider.

#include <gtest/gtest.h>

#include <cmath>

#include "app/AppBrand.h"
#include "app/AppOptions.h"
#include "app/AppText.h"
#include "app/CurveProvider.h"
#include "app/RecentFiles.h"
#include "document/DocData.h"
#include "measure/Curve.h"

namespace {

TEST(AppText, VersionKeepsMajorAndTwoDigitMinor) {
    EXPECT_EQ(ProgramVersionText({2, 2, 0, 0}), L"2.02");
    EXPECT_EQ(ProgramVersionText({10, 15, 3, 4}), L"10.15");
    EXPECT_EQ(ProgramVersionText({0, 1, 0, 0}), L"0.01");
    EXPECT_EQ(ProductVersionMessage(L"2.02"), L"TSL Version 2.02");
    // The build's own version reads the same way.
    const auto v = ProgramFileVersion();
    EXPECT_EQ(ProgramVersionText(), ProgramVersionText(v));
}

TEST(AppBrand, EachBrandHasItsExtensionSettingsAndFourthButton) {
    const BrandResources& main = Resources(Brand::Main);
    EXPECT_EQ(main.organisation, L"CorvanaElectronics");
    EXPECT_EQ(main.application, L"Tessaline");
    EXPECT_EQ(main.extension, L".CVD");
    EXPECT_EQ(main.title, L"Tessaline");
    EXPECT_EQ(main.filterName, L"Tessaline Files (*.CVD)");
    EXPECT_EQ(main.strip[3], L"Erase");
    const BrandResources& second = Resources(Brand::Second);
    EXPECT_EQ(second.extension, L".KTSL");
    EXPECT_EQ(second.strip[3], L"Restore");
    EXPECT_EQ(second.strip[0], L"Measure");
    EXPECT_EQ(second.strip[5], L"Auto Scale");
}

TEST(AppOptions, DocumentSimulationAndBrand) {
    AppOptions o = ParseAppArguments({"room.CVD", "--sim-model", "256", "--brand", "second"});
    EXPECT_TRUE(o.error.empty()) << o.error;
    EXPECT_EQ(o.document, "room.CVD");
    EXPECT_TRUE(o.environment.simulate);  // a simulation option implies the simulation
    EXPECT_EQ(o.environment.simModel, 256);
    EXPECT_EQ(o.brand, Brand::Second);

    EXPECT_TRUE(ParseAppArguments({}).document.empty());
    EXPECT_TRUE(ParseAppArguments({"--trace"}).environment.trace);
    EXPECT_FALSE(ParseAppArguments({"--sim-model", "70000"}).error.empty());
    EXPECT_FALSE(ParseAppArguments({"--sim-model", "12x"}).error.empty());
    EXPECT_FALSE(ParseAppArguments({"--sim-room"}).error.empty());
    EXPECT_FALSE(ParseAppArguments({"--brand", "third"}).error.empty());
    EXPECT_FALSE(ParseAppArguments({"--frobnicate"}).error.empty());
    EXPECT_FALSE(ParseAppArguments({"a.CVD", "b.CVD"}).error.empty());
}

TEST(RecentFiles, MostRecentFirstWithoutDuplicatesAtMostFour) {
    RecentFileList list(kRecentFileCount);
    for (const wchar_t* p : {L"/a.CVD", L"/b.CVD", L"/c.CVD", L"/d.CVD", L"/e.CVD"})
        list.Add(p);
    EXPECT_EQ(list.Entries(),
              (std::vector<std::wstring>{L"/e.CVD", L"/d.CVD", L"/c.CVD", L"/b.CVD"}));
    list.Add(L"/x/../c.CVD");  // the same file spelled otherwise moves to the front
    EXPECT_EQ(list.Entries().front(), L"/x/../c.CVD");
    EXPECT_EQ(list.Entries().size(), 4u);
    list.Remove(L"/e.CVD");
    EXPECT_EQ(list.Entries().size(), 3u);

    RecentFileList loaded(kRecentFileCount);
    loaded.Load({L"/1", L"", L"/2", L"/1", L"/3", L"/4", L"/5"});
    EXPECT_EQ(loaded.Entries(), (std::vector<std::wstring>{L"/1", L"/2", L"/3", L"/4"}));
    EXPECT_EQ(RecentMenuText(0, L"/home/u/room.CVD"), L"&1 room.CVD");
}

CurvePtr Response(AxisKind kind, double magnitude) {
    auto c = std::make_shared<CCurve>(3, kind, DataFormat::MagPhase);
    for (int i = 0; i < 3; ++i) {
        c->X()[i] = 20.0 * (i + 1);
        c->First()[i] = magnitude;
        c->Second()[i] = 0.5;
    }
    return c;
}

TEST(CurveProvider, PensColoursAndValuesWithoutConvertingTheDocument) {
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

}  // namespace
