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
    std::ostringstream out;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto step = [&](IProcDialog*, void*, void*) {
        ConsoleWizardDialog::RequestAbort();
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
    env.makeDialog = ConsoleDialogFactory(prompt, out, false, clock);
    env.bridge = &bridge;
    EXPECT_FALSE(RunWizard(kWizardMeasure, nullptr, document, 1, env));
    EXPECT_EQ(prompt.CountOf(kAbortQuestion), 1u);
    EXPECT_NE(out.str().find("Aborting..."), std::string::npos);
}
