#include "wizard/MainCommands.h"

#include <gtest/gtest.h>

#include <deque>
#include <utility>
#include <vector>

#include "support/ScriptedPrompt.h"

namespace {

class FakeView : public IMainView {
public:
    bool RunWizard(int kind, uint32_t options) override {
        runs.emplace_back(kind, options);
        bool ok = results.empty() ? true : results.front();
        if (!results.empty())
            results.pop_front();
        return ok;
    }
    void Refresh() override { ++refreshes; }
    bool HasResults() override { return hasResults; }
    Threading::IPrompt& Prompt() override { return prompt; }
    std::wstring ApplicationTitle() const override { return L"Tessaline"; }

    std::vector<std::pair<int, uint32_t>> runs;
    std::deque<bool> results;
    int refreshes = 0;
    bool hasResults = false;
    testing_support::ScriptedPrompt prompt;
};

using Runs = std::vector<std::pair<int, uint32_t>>;

}  // namespace

TEST(MainCommands, MeasureRunsThreeWizardsAndReportsUpload) {
    FakeView view;
    EXPECT_TRUE(MeasureCommand(view));
    EXPECT_EQ(view.runs, (Runs{{0, 1}, {1, 1}, {2, 0}}));
    EXPECT_EQ(view.refreshes, 3);
    EXPECT_EQ(view.prompt.CountOf(kUploadSuccessText), 1u);
}

TEST(MainCommands, MeasureStopsAtFirstFailure) {
    FakeView view;
    view.results = {true, false};
    EXPECT_FALSE(MeasureCommand(view));
    EXPECT_EQ(view.runs, (Runs{{0, 1}, {1, 1}}));
    EXPECT_EQ(view.refreshes, 1);
    EXPECT_TRUE(view.prompt.Calls().empty());
}

TEST(MainCommands, MeasureOverExistingResultsAsksFirst) {
    FakeView view;
    view.hasResults = true;
    EXPECT_FALSE(MeasureCommand(view));  // no queued answer: declined
    EXPECT_TRUE(view.runs.empty());
    EXPECT_EQ(view.prompt.CountOf(kMeasureOverwriteQuestion), 1u);

    view.prompt.QueueAnswer(Threading::MsgResult::Yes);
    view.results = {false};
    EXPECT_FALSE(MeasureCommand(view));
    EXPECT_EQ(view.runs, (Runs{{0, 1}}));
    EXPECT_EQ(view.refreshes, 0);
}

TEST(MainCommands, TargetUploadAndErase) {
    FakeView view;
    view.results = {false, true, true};
    EXPECT_FALSE(TargetCommand(view));
    EXPECT_TRUE(UploadCommand(view));
    EXPECT_TRUE(EraseCommand(view));
    EXPECT_EQ(view.runs, (Runs{{1, 2}, {2, 0}, {2, 0x30}}));
    EXPECT_EQ(view.refreshes, 2);  // erase does not refresh
    EXPECT_EQ(view.prompt.CountOf(kUploadSuccessText), 1u);
    EXPECT_EQ(view.prompt.CountOf(L"Your subwoofers EQ has successfully been erased"), 1u);
}
