// The window program's texts, brands, command line and recent files.

#include <gtest/gtest.h>

#include <cmath>

#include "app/AppBrand.h"
#include "app/AppOptions.h"
#include "app/AppText.h"
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

}  // namespace
