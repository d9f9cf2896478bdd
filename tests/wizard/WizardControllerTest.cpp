#include "wizard/WizardController.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "support/FakeWizardDialog.h"
#include "support/RecordingProcDialog.h"
#include "support/ScriptedPrompt.h"
#include "wizard/WizardDialog.h"

namespace {

std::string ErrorText(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no exception)";
}

void CountSave(void* data) {
    ++*static_cast<int*>(data);
}

}  // namespace

TEST(WizardController, RefusesSecondStartAndInvalidStep) {
    Threading::MessageBridge bridge;
    testing_support::RecordingProcDialog progress;
    WizardController controller(
        {WizardStep{[](IProcDialog*, void*, void*) { return true; }, L"Measure"}}, bridge);
    EXPECT_EQ(controller.Current(), 0u);
    controller.Start(&progress, {});
    EXPECT_EQ(ErrorText([&] { controller.Start(&progress, {}); }),
              "Start called on already runing Wizard");
    EXPECT_EQ(ErrorText([&] { controller.RunStep(1); }),
              "void WizardControler::RunStep(STEP step) called with invalid step");
}

TEST(WizardController, EmptyListHasNoCurrentStepAndReportsFailure) {
    Threading::MessageBridge bridge;
    testing_support::RecordingProcDialog progress;
    WizardController controller({}, bridge);
    EXPECT_EQ(controller.Current(), 0xFFFFFFFFu);
    controller.Start(&progress, {});
    EXPECT_EQ(bridge.Pending(), 1u);  // UM_DONE with STEP_FAILED, nothing queued on the worker
}

TEST(WizardController, SeveralStepsProceedRepeatAFailedStepAndSave) {
    Threading::MessageBridge bridge;
    Threading::VirtualClock clock(std::chrono::milliseconds(5));
    testing_support::ScriptedPrompt prompt;
    testing_support::DialogRecord record;
    std::atomic<int> secondRuns{0};
    std::vector<WizardStep> steps{
        {[](IProcDialog*, void*, void*) { return true; }, L"Measure"},
        {[&](IProcDialog*, void*, void*) { return ++secondRuns > 1; }, L"Calculate"}};
    WizardController controller(steps, bridge);
    bool pressed = false;
    bool started = false;
    auto onIdle = [&](testing_support::FakeWizardDialog& dialog) {
        if (!started) {
            started = true;
            EXPECT_EQ(record.statuses.back(), kPressStartText);
            dialog.PressStart();
        }
        if (!pressed && !record.statuses.empty() && record.statuses.back() == kStepFailedText) {
            pressed = true;
            EXPECT_TRUE(record.enabled[IDC_START]);
            dialog.PressStart();
        }
    };
    int saves = 0;
    auto dialog =
        controller.CreateDialog(testing_support::FakeDialogFactory(prompt, clock, record, onIdle),
                                nullptr, L"Wizard", nullptr, nullptr, &CountSave, &saves);
    EXPECT_EQ(dialog->TemplateId(), kSeveralStepsTemplate);
    // Nothing to abort before the first start.
    dialog->OnAbort();
    EXPECT_TRUE(prompt.Calls().empty());
    EXPECT_EQ(dialog->DoModal(), IDOK);
    EXPECT_TRUE(record.checked[IDC_AUTO_PROCEED]);
    EXPECT_TRUE(record.checked[IDC_SAVE_EACH_STEP]);
    EXPECT_FALSE(record.enabled[IDC_AUTO_PROCEED]);
    EXPECT_EQ(secondRuns.load(), 2);
    EXPECT_EQ(saves, 2);
    EXPECT_EQ(controller.Current(), 2u);
    EXPECT_EQ(record.captions.back(), L"Calculate");
}
