// File > Export without the window: what is asked, the names suggested, and a failed write
// shown in a box.

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "app/ExportPresenter.h"
#include "document/DocData.h"
#include "support/ScriptedPrompt.h"

namespace {

namespace fs = std::filesystem;

struct FakeExportView : IExportView {
    testing_support::ScriptedPrompt prompt;
    std::deque<std::optional<fs::path>> names;
    std::vector<std::pair<fs::path, ExportKind>> asked;

    Threading::IPrompt& Prompt() override { return prompt; }
    std::optional<fs::path> AskExportFileName(const fs::path& suggestion,
                                              ExportKind kind) override {
        asked.emplace_back(suggestion, kind);
        auto next = names.empty() ? std::nullopt : names.front();
        if (!names.empty())
            names.pop_front();
        return next;
    }
    std::pair<int, int> GraphSize() override { return {640, 480}; }
};

TEST(ExportPresenter, AsksTheCurveAndTheSizeThenWritesOrSaysWhyNot) {
    const fs::path dir = fs::temp_directory_path() / "export_presenter_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    FakeExportView view;
    std::vector<fs::path> painted;
    ExportPresenter presenter(
        view, Exporting::ExportService([&](const auto&, const auto&, const fs::path& p) {
            painted.push_back(p);
        }),
        L"Tessaline");
    DocData data;
    data.name = L"KT1";
    EXPECT_FALSE(presenter.ExportMeasurement(data));
    EXPECT_EQ(view.prompt.CountOf(kNoCurvesToExportText), 1u);

    auto curve = std::make_shared<CCurve>(4, AxisKind::Frequency, DataFormat::DbPhase);
    for (int i = 0; i < 4; ++i)
        curve->X()[i] = 20.0 * (i + 1);
    data.results = {curve};
    data.measurements = {curve, curve};
    view.prompt.QueueChoice(2);  // Measured average, Position 1, Position 2
    view.names.push_back(dir / "p2.txt");
    EXPECT_TRUE(presenter.ExportMeasurement(data));
    EXPECT_TRUE(fs::exists(dir / "p2.txt"));
    EXPECT_EQ(view.asked.back(),
              (std::pair{fs::path(L"KT1 - Position 2.txt"), ExportKind::Measurement}));

    view.prompt.QueueChoice(0);
    view.names.push_back(dir / "graph");
    EXPECT_TRUE(presenter.ExportGraph(data));
    EXPECT_EQ(painted, std::vector{dir / "graph.png"});
    EXPECT_EQ(view.prompt.Calls().back().choices.front(), L"640 x 480 (as shown)");

    // Cancelled: nothing asked further; a folder that does not exist: the reason in a box.
    view.prompt.QueueChoice(std::nullopt);
    EXPECT_FALSE(presenter.ExportGraph(data));
    view.names.push_back(dir / "missing" / "eq.json");
    EXPECT_FALSE(presenter.ExportEqualiser(data));
    const auto box = view.prompt.Calls().back();
    EXPECT_EQ(box.caption, L"Tessaline");
    EXPECT_NE(box.text.find(L"the folder does not exist"), std::wstring::npos);
    EXPECT_EQ(view.asked.back().second, ExportKind::Equaliser);
    fs::remove_all(dir);
}

}  // namespace
