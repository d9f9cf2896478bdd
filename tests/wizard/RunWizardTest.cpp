#include <atomic>
#include <future>
#include <stdexcept>

#include "measure/Curve.h"
#include "threading/ThreadHandler.h"
#include "wizard/WizardDialog.h"
#include "wizard/WizardFixture.h"

using Threading::MsgButtons;
using Threading::MsgIcon;
using Threading::MsgResult;

namespace {

StepFunction Returning(bool result) {
    return [result](IProcDialog*, void*, void*) { return result; };
}

bool Contains(const std::vector<std::wstring>& v, const std::wstring& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

}  // namespace

TEST_F(WizardTest, OneStepWizardStartsByItselfAndSucceedsWhenStepDoes) {
    EXPECT_TRUE(Run(kWizardMeasure, kOptionDetectCrossover, AllSteps(Returning(true))));
    EXPECT_EQ(record.result, IDOK);
    EXPECT_EQ(record.templateId, kOneStepTemplate);
    EXPECT_EQ(record.captions, (std::vector<std::wstring>{L"Wizard", L"Measure"}));
    ASSERT_GE(record.statuses.size(), 2u);
    EXPECT_EQ(record.statuses[0], L"Press start to begin.");
    EXPECT_EQ(record.statuses[1], L"Running...");
    EXPECT_FALSE(record.enabled[IDC_START]);
    EXPECT_TRUE(record.enabled[IDC_ABORT_STAGE]);
    EXPECT_TRUE(prompt.Calls().empty());
}

TEST_F(WizardTest, StepReturningFalseFailsSilently) {
    EXPECT_FALSE(Run(kWizardCalculate, kOptionDetectCrossover, AllSteps(Returning(false))));
    EXPECT_EQ(record.result, IDCANCEL);
    EXPECT_TRUE(prompt.Calls().empty());
    EXPECT_EQ(document.saves, 0);
}

TEST_F(WizardTest, ThrowingStepShowsOneMessageWithStepName) {
    auto wide = [](IProcDialog*, void*, void*) -> bool {
        throw tsl::wruntime_error(L"No signal from the microphone (code 0x03)");
    };
    EXPECT_FALSE(Run(kWizardMeasure, kOptionDetectCrossover, AllSteps(wide)));
    auto calls = prompt.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, L"No signal from the microphone (code 0x03)\nMeasure failed.");
    EXPECT_EQ(calls[0].caption, L"Measure");
    EXPECT_EQ(calls[0].icon, MsgIcon::Error);
    EXPECT_EQ(calls[0].buttons, MsgButtons::Ok);

    auto narrow = [](IProcDialog*, void*, void*) -> bool { throw std::out_of_range("index"); };
    EXPECT_FALSE(Run(kWizardUpload, 0, AllSteps(narrow)));
    EXPECT_EQ(prompt.Calls().back().text, L"index\nUpload failed.");
    EXPECT_EQ(document.saves, 0);
}

TEST_F(WizardTest, ForeignExceptionEndsWizardAndIsReportedOnce) {
    auto odd = [](IProcDialog*, void*, void*) -> bool { throw 42; };
    EXPECT_FALSE(Run(kWizardCalculate, kOptionDetectCrossover, AllSteps(odd)));
    EXPECT_EQ(record.result, IDCANCEL);
    EXPECT_EQ(prompt.CountOf(Threading::kUnhandledExceptionText), 1u);
    EXPECT_EQ(prompt.Calls().size(), 1u);
}

TEST_F(WizardTest, AbortAsksOnceAndWizardEndsWithTheStep) {
    std::atomic<bool> started{false};
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto step = [&](IProcDialog*, void*, void*) {
        started = true;
        released.wait();
        return true;
    };
    bool pressed = false;
    onIdle = [&](testing_support::FakeWizardDialog& dialog) {
        if (!started || pressed)
            return;
        pressed = true;
        dialog.PressEscape();
        EXPECT_FALSE(dialog.IsRunning());
        dialog.PressAbort();  // a second request after Yes does nothing
        release.set_value();
    };
    prompt.QueueAnswer(MsgResult::Yes);
    EXPECT_TRUE(Run(kWizardMeasure, kOptionDetectCrossover, AllSteps(step)));
    EXPECT_EQ(prompt.CountOf(kAbortQuestion), 1u);
    EXPECT_EQ(prompt.Calls().front().caption, kApplicationTitle);
    EXPECT_EQ(prompt.Calls().front().buttons, MsgButtons::YesNo);
    EXPECT_TRUE(Contains(record.statuses, L"Aborting..."));
    EXPECT_FALSE(record.enabled[IDC_ABORT_STAGE]);
    EXPECT_EQ(document.saves, 1);
}

TEST_F(WizardTest, AbortAnsweredNoChangesNothing) {
    std::atomic<bool> started{false};
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto step = [&](IProcDialog*, void*, void*) {
        started = true;
        released.wait();
        return false;
    };
    bool pressed = false;
    onIdle = [&](testing_support::FakeWizardDialog& dialog) {
        if (!started || pressed)
            return;
        pressed = true;
        dialog.PressEscape();
        EXPECT_TRUE(dialog.IsRunning());
        release.set_value();
    };
    prompt.QueueAnswer(MsgResult::No);
    EXPECT_FALSE(Run(kWizardMeasure, kOptionDetectCrossover, AllSteps(step)));
    EXPECT_FALSE(Contains(record.statuses, L"Aborting..."));
}

TEST_F(WizardTest, SavesAfterMeasureCalculateAndUploadButNotErase) {
    struct Case {
        int kind;
        uint32_t options;
        const wchar_t* name;
        int saves;
    };
    const Case cases[] = {{kWizardMeasure, 1, L"Measure", 1},
                          {kWizardCalculate, 1, L"Calculate", 1},
                          {kWizardCalculate, 2, L"Calculate", 1},
                          {kWizardUpload, 0, L"Upload", 1},
                          {kWizardUpload, 0x30, L"Erase", 0}};
    for (const Case& c : cases) {
        document.saves = 0;
        std::wstring title;
        uint32_t seenOptions = 0;
        auto step = [&](IProcDialog* progress, void*, void* options) {
            title = progress->GetTitle();
            seenOptions = *static_cast<uint32_t*>(options);
            return true;
        };
        EXPECT_TRUE(Run(c.kind, c.options, AllSteps(step))) << c.name;
        EXPECT_EQ(title, c.name);
        EXPECT_EQ(seenOptions, c.options);
        EXPECT_EQ(document.saves, c.saves) << c.name;
    }
}

TEST_F(WizardTest, StepWorksOnPrivateCopyThatIsSavedAndReturned) {
    document.data.name = L"Old sub";
    document.data.crossover = 80;
    std::wstring documentNameDuringStep;
    int32_t crossoverSeen = 0;
    auto step = [&](IProcDialog*, void* data, void*) {
        auto* working = static_cast<DocData*>(data);
        EXPECT_NE(working, &document.data);
        crossoverSeen = working->crossover;
        documentNameDuringStep = document.data.name;
        working->name = L"Living room";
        return true;
    };
    EXPECT_TRUE(Run(kWizardCalculate, kOptionDetectCrossover, AllSteps(step)));
    EXPECT_EQ(crossoverSeen, 80);
    EXPECT_EQ(documentNameDuringStep, kDefaultSubwooferName);
    EXPECT_EQ(document.nameAtSave, L"Living room");
    EXPECT_TRUE(document.modifiedAtSave);
    EXPECT_EQ(document.data.name, L"Living room");
    EXPECT_EQ(document.data.crossover, 80);
}

// A failed or throwing step leaves the document's data as it was before the wizard, curves,
// settings and name alike.
TEST_F(WizardTest, AFailedWizardLeavesTheDocumentAsItWas) {
    auto measure = [](IProcDialog*, void* data, void*) {
        static_cast<DocData*>(data)->Reset();
        return false;
    };
    auto calculate = [](IProcDialog*, void* data, void*) -> bool {
        auto* d = static_cast<DocData*>(data);
        d->results.front()->X()[0] = 99.0;
        d->results.push_back(std::make_shared<CCurve>());
        throw tsl::wruntime_error(L"Critical error, expected 2 curves.");
    };
    for (const auto& [kind, step] : {std::pair{kWizardMeasure, StepFunction(measure)},
                                     std::pair{kWizardCalculate, StepFunction(calculate)}}) {
        document.data.Reset();
        document.data.results.push_back(
            std::make_shared<CCurve>(2, AxisKind::Frequency, DataFormat::DbPhase));
        document.data.results.front()->X()[0] = 20.0;
        document.data.measurements.push_back(std::make_shared<CCurve>());
        document.data.crossover = 80;
        document.data.hpOrder = 3;
        document.data.name = L"Old sub";
        EXPECT_FALSE(Run(kind, kOptionDetectCrossover, AllSteps(step)));
        ASSERT_EQ(document.data.results.size(), 1u) << kind;
        EXPECT_EQ(document.data.results.front()->X()[0], 20.0);
        EXPECT_EQ(document.data.measurements.size(), 1u);
        EXPECT_EQ(document.data.crossover, 80);
        EXPECT_EQ(document.data.hpOrder, 3);
        EXPECT_EQ(document.data.name, L"Old sub");
        EXPECT_EQ(document.saves, 0);
    }
}

TEST_F(WizardTest, FailedSaveIsShownAndKeepsTheData) {
    document.failSave = true;
    auto step = [](IProcDialog*, void* data, void*) {
        static_cast<DocData*>(data)->name = L"Den";
        return true;
    };
    EXPECT_TRUE(Run(kWizardUpload, 0, AllSteps(step)));
    EXPECT_EQ(document.saves, 1);
    EXPECT_EQ(prompt.CountOf(L"The disk is full."), 1u);
    EXPECT_EQ(document.data.name, L"Den");
}

TEST_F(WizardTest, UnknownKindEndsAtOnceWithoutSteps) {
    std::atomic<int> ran{0};
    auto step = [&](IProcDialog*, void*, void*) { return ++ran > 0; };
    EXPECT_FALSE(Run(7, 0, AllSteps(step)));
    EXPECT_EQ(record.result, IDCANCEL);
    EXPECT_EQ(ran.load(), 0);
}

TEST_F(WizardTest, MissingStepFailsWithClearText) {
    EXPECT_FALSE(Run(kWizardUpload, 0, WizardStepTable::Defaults()));
    EXPECT_EQ(prompt.CountOf(L"The Upload step is not available in this build.\nUpload failed."),
              1u);
}

TEST_F(WizardTest, StatusAndProgressReachTheDialog) {
    auto step = [](IProcDialog* p, void*, void*) {
        p->SetDisplayString(L"Checking for valid subwoofer");
        p->SetRange(10);
        p->OffsetPos(3);
        p->SetPosFromEnd(2);
        p->SetUserData(7);
        return p->GetUserData() == 7 && p->GetPos() == 8;
    };
    EXPECT_TRUE(Run(kWizardMeasure, kOptionDetectCrossover, AllSteps(step)));
    EXPECT_TRUE(Contains(record.statuses, L"Checking for valid subwoofer"));
    EXPECT_EQ(record.progressRange, 10);
    EXPECT_EQ(record.progressPositions, (std::vector<int32_t>{0, 3, 8}));
}
