// The target dialog's house curve and limits without a window: ranges, cuts only and the boost
// it gives back, the upper limit's bound and commit order, house curve files, and the console's
// menu of them.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "correction/TargetSlope.h"
#include "document/DocData.h"
#include "support/RecordingProcDialog.h"
#include "wizard/CalculateStepConsole.h"
#include "wizard/FakeTargetView.h"
#include "wizard/TargetPresenter.h"

namespace {

// Also records the limits' switches, the file and its errors.
struct HouseView : FakeTargetView {
    bool cutsOnly = false;
    bool fitUpper = false;
    std::wstring file = L"?";
    std::vector<std::wstring> errors;

    void DrawLimits(bool cuts, bool own, bool) override {
        cutsOnly = cuts;
        fitUpper = own;
    }
    void DrawHouseFile(const std::wstring& name, bool) override { file = name; }
    void ShowFileError(const std::wstring& text) override { errors.push_back(text); }
};

TEST(TargetHouse, RangesAndCutsOnlyGivingBackTheBoostItTook) {
    HouseView view;
    TargetPresenter presenter(view, {});
    presenter.Show({200, SLOPE_FLAT, 20, 30});
    EXPECT_EQ(view.rules[TargetField::ShelfGain], (TargetFieldRule{-60, 120, 5, true}));
    EXPECT_EQ(view.rules[TargetField::ShelfCorner], (TargetFieldRule{20, 200, 1, true}));
    EXPECT_EQ(view.rules[TargetField::Tilt], (TargetFieldRule{-30, 30, 1, true}));
    EXPECT_EQ(view.rules[TargetField::MaxBoost], (TargetFieldRule{0, 60, 5, true}));
    EXPECT_EQ(view.values[TargetField::ShelfCorner], 60);
    EXPECT_FALSE(view.rules[TargetField::UpperLimit].enabled);
    EXPECT_TRUE(view.fitUpper);
    EXPECT_FALSE(view.cutsOnly);
    EXPECT_EQ(view.file, L"");

    presenter.SetValue(TargetField::ShelfGain, 500);
    presenter.SetValue(TargetField::Tilt, -15);
    presenter.SetValue(TargetField::MaxBoost, 35);
    EXPECT_EQ(presenter.Settings().house.shelfDb, 12.0);
    EXPECT_EQ(presenter.Settings().house.tiltDbPerOctave, -1.5);
    presenter.SetCutsOnly(true);
    EXPECT_EQ(presenter.Settings().house.maxBoostDb, 0.0);
    EXPECT_TRUE(view.cutsOnly);
    EXPECT_FALSE(view.rules[TargetField::MaxBoost].enabled);
    EXPECT_EQ(view.values[TargetField::MaxBoost], 0);
    presenter.SetCutsOnly(false);
    EXPECT_EQ(presenter.Settings().house.maxBoostDb, 3.5);
    EXPECT_TRUE(view.rules[TargetField::MaxBoost].enabled);

    // A document's cuts only shows ticked and gives back the default boost; a value the controls
    // cannot show exactly (from the command line) survives an OK that did not change it.
    TargetSettings cli{200, SLOPE_FLAT, 20, 30};
    cli.house.maxBoostDb = 0.0;
    cli.house.shelfDb = 4.56;
    presenter.Show(cli);
    EXPECT_TRUE(view.cutsOnly);
    EXPECT_EQ(view.values[TargetField::ShelfGain], 46);
    presenter.SetValue(TargetField::ShelfGain, 46);  // a spin losing focus reports its value
    EXPECT_TRUE(presenter.Accept());
    EXPECT_EQ(presenter.Settings().house.shelfDb, 4.56);
    presenter.SetCutsOnly(false);
    EXPECT_EQ(presenter.Settings().house.maxBoostDb, kMaxBoostDbMax);
}

TEST(TargetHouse, TheUpperLimitStaysAboveTheMinEqFrequencyCommittedBeforeIt) {
    HouseView view;
    TargetPresenter presenter(view, {});
    presenter.Show({200, SLOPE_FLAT, 20, 60});
    presenter.SetFitUpper(false);
    EXPECT_EQ(presenter.Settings().house.upperHz, kUpperHzMax);
    EXPECT_EQ(view.rules[TargetField::UpperLimit], (TargetFieldRule{61, 250, 1, true}));
    presenter.SetValue(TargetField::UpperLimit, 30);
    EXPECT_EQ(presenter.Settings().house.upperHz, 61.0);
    presenter.SetValue(TargetField::MinEq, 100);
    EXPECT_EQ(presenter.Settings().house.upperHz, 101.0);

    // OK: the minimum EQ frequency typed first raises the bound the typed upper limit misses.
    view.typed[TargetField::MinEq] = {150, true};
    view.typed[TargetField::UpperLimit] = {140, true};
    EXPECT_FALSE(presenter.Accept());
    EXPECT_EQ(view.committed,
              (std::vector{TargetField::Crossover, TargetField::MinEq, TargetField::ShelfGain,
                           TargetField::ShelfCorner, TargetField::Tilt, TargetField::MaxBoost,
                           TargetField::UpperLimit}));
    EXPECT_EQ(presenter.Settings().house.upperHz, 151.0);
    view.typed[TargetField::UpperLimit] = {180, true};
    EXPECT_TRUE(presenter.Accept());
    EXPECT_EQ(presenter.Settings().house.upperHz, 180.0);
    presenter.SetFitUpper(true);
    EXPECT_EQ(presenter.Settings().house.upperHz, 0.0);
    EXPECT_FALSE(view.rules[TargetField::UpperLimit].enabled);
}

TEST(TargetHouse, AFileThatCannotBeReadIsShownAndThePreviousKept) {
    const auto dir = std::filesystem::temp_directory_path() / "tessaline-target-house";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "good.txt") << "20 6\n200 0\n";
    std::ofstream(dir / "bad.txt") << "20 6\n10 0\n";
    HouseView view;
    TargetPresenter presenter(view, {});
    presenter.Show({200, SLOPE_FLAT, 20, 30});
    EXPECT_TRUE(presenter.ChooseHouseFile(dir / "good.txt"));
    EXPECT_EQ(view.file, L"good.txt");
    EXPECT_FALSE(presenter.ChooseHouseFile(dir / "bad.txt"));
    EXPECT_FALSE(presenter.ChooseHouseFile(dir / "missing.txt"));
    ASSERT_EQ(view.errors.size(), 2u);
    EXPECT_EQ(view.errors[0].rfind(L"House curve file \"bad.txt\": line 2", 0), 0u);
    EXPECT_NE(view.errors[1].find(L"missing.txt"), std::wstring::npos);
    ASSERT_TRUE(presenter.Settings().house.file);
    EXPECT_EQ(presenter.Settings().house.file->points.size(), 2u);
    EXPECT_EQ(view.file, L"good.txt");
    presenter.ClearHouseFile();
    EXPECT_FALSE(presenter.Settings().house.file);
    EXPECT_EQ(view.file, L"");
    std::filesystem::remove_all(dir);
}

TEST(TargetHouse, TheConsoleMenuSetsTheShelfAndCutsOnly) {
    testing_support::ScriptedPrompt prompt;
    DocData d;
    ConsoleTargetDialog dialog(prompt, d);
    // OK, X-Over, High Pass Order, Auto Detect, Classic fit, Shelf Gain, Shelf Corner, Tilt,
    // Max Boost, Cuts only, Fit's own upper limit.
    prompt.QueueChoice(5);   // Shelf Gain
    prompt.QueueChoice(24);  // -6.0 dB in 0.5 dB steps: +6.0 dB
    prompt.QueueChoice(9);   // Cuts only: no -> yes
    prompt.QueueChoice(0);   // OK
    TargetSettings s{200, 0, 20, 20};
    ASSERT_TRUE(dialog.DoModal(s));
    EXPECT_EQ(s.house.shelfDb, 6.0);
    EXPECT_EQ(s.house.maxBoostDb, 0.0);
    const auto calls = prompt.Calls();
    ASSERT_FALSE(calls.empty());
    const auto& menu = calls.back().choices;
    ASSERT_EQ(menu.size(), 10u);  // Max Boost is off under cuts only
    EXPECT_EQ(menu[5], L"Shelf Gain: 6.0 dB");
    EXPECT_EQ(menu[8], std::wstring(kCutsOnlyEntry) + L"yes");
}

}  // namespace
