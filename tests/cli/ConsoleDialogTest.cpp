#include "cli/ConsoleDialog.h"

#include <future>
#include <sstream>

#include "wizard/WizardFixture.h"

TEST_F(WizardTest, ConsoleFrontEndShowsStepStatusAndProgress) {
    std::ostringstream out;
    WizardEnvironment env;
    auto step = [](IProcDialog* p, void*, void*) {
        p->SetDisplayString(L"Recording position 1\n\rKeep quiet");
        p->SetRange(4);
        p->SetPos(2);
        p->SetPos(4);
        return true;
    };
    env.steps = AllSteps(step);
    env.makeDialog = ConsoleDialogFactory(prompt, out, false, clock);
    env.bridge = &bridge;
    EXPECT_TRUE(RunWizard(kWizardMeasure, nullptr, document, 1, env));
    std::string text = out.str();
    EXPECT_NE(text.find("== Measure =="), std::string::npos) << text;
    EXPECT_NE(text.find("Running...\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Recording position 1\nKeep quiet\n"), std::string::npos) << text;
    EXPECT_NE(text.find("50%"), std::string::npos) << text;
    EXPECT_NE(text.find("100%"), std::string::npos) << text;
    EXPECT_EQ(text.find('\r'), std::string::npos) << text;
}

TEST_F(WizardTest, ConsoleFrontEndTurnsInterruptIntoAbortQuestion) {
    Threading::ConsoleInterrupts interrupts;
    std::ostringstream out;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto step = [&](IProcDialog*, void*, void*) {
        interrupts.Press();
        released.wait();
        return false;
    };
    prompt.OnAsk([&](const testing_support::PromptCall& call) {
        if (call.text == kAbortQuestion)
            release.set_value();
    });
    prompt.QueueAnswer(Threading::MsgResult::Yes);
    WizardEnvironment env;
    env.steps = AllSteps(step);
    env.makeDialog = ConsoleDialogFactory(prompt, out, false, clock, nullptr, true, &interrupts);
    env.bridge = &bridge;
    EXPECT_FALSE(RunWizard(kWizardMeasure, nullptr, document, 1, env));
    EXPECT_EQ(prompt.CountOf(kAbortQuestion), 1u);
    EXPECT_NE(out.str().find("Aborting..."), std::string::npos);
}

namespace {

// Asks until an answer is not OK; the prompt has many OKs queued, so a Cancel comes from the abort.
bool AskUntilDeclined(IProcDialog* p) {
    while (p->Prompt().MessageBox(L"Next position", L"", Threading::MsgButtons::OkCancel,
                                  Threading::MsgIcon::None) == Threading::MsgResult::Ok) {
    }
    return true;
}

constexpr int kQueuedOks = 200;

}  // namespace

// Without a terminal (or with --yes) Ctrl-C aborts at once; a step that then succeeds still
// leaves the wizard cancelled and unsaved, and its questions get the declining answer.
TEST_F(WizardTest, ConsoleFrontEndAbortsAtOnceWhenItMustNotAsk) {
    Threading::ConsoleInterrupts interrupts;
    std::ostringstream out;
    auto step = [&](IProcDialog* p, void*, void*) {
        interrupts.Press();
        return AskUntilDeclined(p);
    };
    for (int i = 0; i < kQueuedOks; ++i)
        prompt.QueueAnswer(Threading::MsgResult::Ok);
    WizardEnvironment env;
    env.steps = AllSteps(step);
    env.makeDialog = ConsoleDialogFactory(prompt, out, false, clock, nullptr, false, &interrupts);
    env.bridge = &bridge;
    EXPECT_FALSE(RunWizard(kWizardMeasure, nullptr, document, 1, env));
    EXPECT_LT(prompt.Calls().size(), static_cast<size_t>(kQueuedOks));
    EXPECT_EQ(prompt.CountOf(kAbortQuestion), 0u);
    EXPECT_EQ(document.saves, 0);
}

// Asked once; a second Ctrl-C aborts without asking again.
TEST_F(WizardTest, ConsoleFrontEndAbortsAtTheSecondInterrupt) {
    Threading::ConsoleInterrupts interrupts;
    std::ostringstream out;
    std::promise<void> asked;
    std::shared_future<void> once = asked.get_future().share();
    auto step = [&](IProcDialog* p, void*, void*) {
        interrupts.Press();
        once.wait();
        interrupts.Press();
        return AskUntilDeclined(p);
    };
    prompt.OnAsk([&](const testing_support::PromptCall& call) {
        if (call.text == kAbortQuestion)
            asked.set_value();
    });
    prompt.QueueAnswer(Threading::MsgResult::No);
    for (int i = 0; i < kQueuedOks; ++i)
        prompt.QueueAnswer(Threading::MsgResult::Ok);
    WizardEnvironment env;
    env.steps = AllSteps(step);
    env.makeDialog = ConsoleDialogFactory(prompt, out, false, clock, nullptr, true, &interrupts);
    env.bridge = &bridge;
    EXPECT_FALSE(RunWizard(kWizardMeasure, nullptr, document, 1, env));
    EXPECT_LT(prompt.Calls().size(), static_cast<size_t>(kQueuedOks));
    EXPECT_EQ(prompt.CountOf(kAbortQuestion), 1u);
    EXPECT_EQ(document.saves, 0);
}
