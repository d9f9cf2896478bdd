// The main window's logic: a save that fails keeps the measurements and asks for another name,
// also when the failing save is the wizard's; titles; colours.

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>

#include "app/MainPresenter.h"
#include "document/DocFile.h"
#include "measure/Curve.h"
#include "sublink/BaseConfig.h"
#include "support/FakeWizardDialog.h"
#include "support/ScriptedPrompt.h"

namespace {

namespace fs = std::filesystem;
using Threading::MsgResult;

struct FakeWindow : IMainWindow {
    testing_support::ScriptedPrompt prompt;
    std::deque<std::optional<fs::path>> saveNames;
    std::vector<fs::path> suggestions;
    int shown = 0;
    int repaints = 0;

    Threading::IPrompt& Prompt() override { return prompt; }
    std::optional<fs::path> AskSaveFileName(const fs::path& suggestion) override {
        suggestions.push_back(suggestion);
        if (saveNames.empty())
            return std::nullopt;
        auto next = saveNames.front();
        saveNames.pop_front();
        return next;
    }
    std::optional<fs::path> AskOpenFileName() override { return std::nullopt; }
    std::vector<fs::path> importNames;
    std::vector<fs::path> AskImportFileNames() override { return importNames; }
    Threading::IWindow* WizardParent() override { return nullptr; }
    void ShowDocument() override { ++shown; }
    void Repaint() override { ++repaints; }
};

class Presenter : public ::testing::Test {
protected:
    Presenter() {
        dir =
            fs::temp_directory_path() /
            ("app_presenter_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        environment.bridge = &bridge;
        environment.makeDialog = testing_support::FakeDialogFactory(window.prompt, clock, record);
        // A "Measure" that leaves one measured curve.
        auto measure = [](IProcDialog*, void* arg1, void*) {
            auto* data = static_cast<DocData*>(arg1);
            auto curve = std::make_shared<CCurve>(2, AxisKind::Frequency, DataFormat::DbPhase);
            curve->X()[0] = 20;
            curve->X()[1] = 200;
            data->measurements.push_back(curve);
            data->results.push_back(curve);
            data->name = L"KT1";
            return true;
        };
        environment.steps = WizardStepTable{measure, measure, measure, measure};
    }
    ~Presenter() override { fs::remove_all(dir); }

    MainPresenter Make(bool simulated = false) {
        return MainPresenter(document, window, environment, Resources(Brand::Main), simulated);
    }

    fs::path dir;
    Threading::MessageBridge bridge;
    Threading::VirtualClock clock{std::chrono::milliseconds(5)};
    testing_support::DialogRecord record;
    WizardEnvironment environment;
    FakeWindow window;
    CTessalineDoc document;
};

TEST_F(Presenter, AFailedSaveNamesTheFileKeepsTheDataAndAsksForAnotherName) {
    MainPresenter presenter = Make();
    document.Data().measurements.push_back(
        std::make_shared<CCurve>(2, AxisKind::Frequency, DataFormat::DbPhase));

    const fs::path bad = dir / "missing" / "room.CVD";
    const fs::path good = dir / "room.CVD";
    window.prompt.QueueAnswer(MsgResult::Yes);
    window.saveNames = {good};
    EXPECT_TRUE(presenter.SaveTo(bad));
    const auto calls = window.prompt.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_NE(calls[0].text.find(L"\"" + bad.wstring() + L"\""), std::wstring::npos);
    EXPECT_EQ(calls[0].caption, L"Tessaline");
    EXPECT_EQ(document.PathName(), good);
    EXPECT_EQ(presenter.Recent().Entries().front(), good.wstring());
    DocData saved;
    ReadDocFile(good, saved);
    EXPECT_EQ(saved.measurements.size(), 1u);

    // Declining keeps the data in the open document and the file name as it was.
    window.prompt.QueueAnswer(MsgResult::No);
    EXPECT_FALSE(presenter.SaveTo(bad));
    EXPECT_EQ(document.PathName(), good);
    EXPECT_EQ(document.Data().measurements.size(), 1u);
}

TEST_F(Presenter, TheWizardsSaveOfAnUntitledDocumentAsksForANameAndRetriesAFailure) {
    MainPresenter presenter = Make();
    const fs::path bad = dir / "missing" / "first.CVD";
    const fs::path good = dir / "second.CVD";
    window.saveNames = {bad, good};
    window.prompt.QueueAnswer(MsgResult::Yes);
    EXPECT_TRUE(presenter.RunWizard(kWizardMeasure, kOptionDetectCrossover));
    EXPECT_EQ(window.suggestions.at(0), L"KT1.CVD");  // named after the subwoofer measured
    EXPECT_EQ(window.suggestions.at(1), bad);         // then the file that failed
    EXPECT_EQ(document.PathName(), good);
    EXPECT_EQ(document.Data().measurements.size(), 1u);
    EXPECT_TRUE(fs::exists(good));
    EXPECT_FALSE(fs::exists(bad));
}

// A read-only document: the box says why another name is asked for; declining stops the chain
// at the step that could not be saved, with its data kept in the open document, marked unsaved.
TEST_F(Presenter, AWizardsSaveThatDoesNotHappenStopsTheChainAndKeepsTheData) {
    const fs::path path = dir / "room.CVD";
    WriteDocFile(path, DocData{});
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
    MainPresenter presenter = Make();
    ASSERT_TRUE(presenter.OpenDocument(path));
    window.prompt.QueueAnswer(MsgResult::Cancel);  // no other name
    EXPECT_FALSE(MeasureCommand(presenter));
    EXPECT_EQ(record.dialogsMade, 1u);  // Calculate and Upload never ran
    const auto calls = window.prompt.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].text, SaveElsewhereText(path, L"the file is read-only"));
    EXPECT_TRUE(window.suggestions.empty());
    EXPECT_EQ(calls[1].text, std::wstring(kNotSavedText) + L"\nMeasure failed.");
    EXPECT_EQ(presenter.LastFailure(), calls[1].text);
    EXPECT_EQ(document.Data().measurements.size(), 1u);
    EXPECT_TRUE(document.IsModified());
    EXPECT_EQ(presenter.WindowTitle(), L"room.CVD* - Tessaline");
    DocData saved;
    ReadDocFile(path, saved);
    EXPECT_TRUE(saved.measurements.empty());
}

TEST_F(Presenter, OpenFailuresNameTheFileAndKeepTheSeedsText) {
    MainPresenter presenter = Make();
    const fs::path shortFile = dir / "short.CVD", newer = dir / "newer.CVD";
    std::ofstream(shortFile, std::ios::binary) << std::string("\x08\0\0\0\x13", 5);
    std::ofstream(newer, std::ios::binary) << std::string("\x09\0\0\0", 4);
    EXPECT_FALSE(presenter.OpenDocument(shortFile));
    EXPECT_FALSE(presenter.OpenDocument(newer));
    const auto calls = window.prompt.Calls();
    ASSERT_EQ(calls.size(), 1u);  // the bad version's box is the document's own
    EXPECT_EQ(calls[0].text, L"The document \"" + shortFile.wstring() +
                                 L"\" could not be opened:\nThe file is damaged or incomplete.");
}

TEST_F(Presenter, TitlesColoursAndTheOverwriteQuestion) {
    MainPresenter presenter = Make(true);
    EXPECT_EQ(presenter.WindowTitle(), L"Untitled - Tessaline (simulation)");
    EXPECT_EQ(presenter.GraphTitle(), L"Subwoofer");
    presenter.SetColours(document.Data().colours);  // unchanged
    EXPECT_FALSE(document.IsModified());
    presenter.SetColours({1, 2, 3});
    EXPECT_EQ(document.Data().colours, (std::array<uint32_t, 3>{1, 2, 3}));
    EXPECT_TRUE(document.IsModified());  // New or Exit asks to save the colours
    EXPECT_EQ(presenter.WindowTitle(), L"Untitled* - Tessaline (simulation)");
    EXPECT_EQ(window.repaints, 2);

    window.saveNames = {dir / "doc.CVD"};
    ASSERT_TRUE(presenter.RunWizard(kWizardMeasure, kOptionDetectCrossover));
    EXPECT_EQ(presenter.WindowTitle(), L"doc.CVD - Tessaline (simulation)");
    EXPECT_EQ(presenter.GraphTitle(), L"KT1");
    // Measure on a document with results asks first; No runs nothing.
    window.prompt.QueueAnswer(MsgResult::No);
    const size_t dialogs = record.dialogsMade;
    EXPECT_FALSE(MeasureCommand(presenter));
    EXPECT_EQ(record.dialogsMade, dialogs);
    EXPECT_EQ(window.prompt.CountOf(kMeasureOverwriteQuestion), 1u);
}

// File > Import: a refused file is named in a box and changes nothing; a document without a
// model asks for one, takes the file as a position and calculates.
TEST_F(Presenter, ImportNamesARefusedFileAndAsksForTheModel) {
    MainPresenter presenter = Make();
    const fs::path bad = dir / "bad.txt", good = dir / "seat.txt";
    std::ofstream(bad) << "20 80\nforty 80\n";
    std::ofstream(good) << "* seat\n10 80\n100 74\n1000 80\n";
    window.importNames = {good, bad};
    window.prompt.QueueChoice(0);
    EXPECT_FALSE(presenter.Import());
    ASSERT_EQ(window.prompt.Calls().size(), 2u);
    EXPECT_EQ(window.prompt.Calls()[1].text.rfind(L"Measurement file \"bad.txt\": line 2:", 0), 0u);
    EXPECT_TRUE(document.Data().measurements.empty());
    EXPECT_EQ(record.dialogsMade, 0u);

    window.importNames = {good};
    window.prompt.QueueChoice(0);
    window.saveNames = {dir / "imported.CVD"};
    EXPECT_TRUE(presenter.Import());
    EXPECT_EQ(record.dialogsMade, 1u);  // Calculate
    EXPECT_EQ(document.Data().modelId, CUsbController::RegisteredModels().front()->modelId);
    ASSERT_EQ(document.Data().imported.size(), 1u);
    EXPECT_EQ(document.Data().imported[0].fileName, L"seat.txt");
}

}  // namespace
