#pragma once
// Runs wizards against a private bridge, a virtual clock, a scripted prompt and a fake dialog.

#include <gtest/gtest.h>

#include <functional>

#include "document/DocData.h"
#include "support/FakeWizardDialog.h"
#include "support/ScriptedPrompt.h"
#include "threading/Errors.h"
#include "wizard/RunWizard.h"

struct FakeDocument : IWizardDocument {
    DocData data;
    bool modified = false;
    int saves = 0;
    std::wstring nameAtSave;
    bool modifiedAtSave = false;
    bool failSave = false;

    DocData& Data() override { return data; }
    void SetModifiedFlag(bool m) override { modified = m; }
    bool DoFileSave() override {
        ++saves;
        nameAtSave = data.name;
        modifiedAtSave = modified;
        if (failSave)
            throw tsl::wruntime_error(L"The disk is full.");
        return true;
    }
};

class WizardTest : public ::testing::Test {
protected:
    bool Run(int kind, uint32_t options, const WizardStepTable& steps) {
        WizardEnvironment env;
        env.steps = steps;
        env.makeDialog = testing_support::FakeDialogFactory(prompt, clock, record, onIdle);
        env.bridge = &bridge;
        return RunWizard(kind, nullptr, document, options, env);
    }

    static WizardStepTable AllSteps(StepFunction f) { return WizardStepTable{f, f, f, f}; }

    Threading::MessageBridge bridge;
    Threading::VirtualClock clock{std::chrono::milliseconds(5)};
    testing_support::ScriptedPrompt prompt;
    testing_support::DialogRecord record;
    FakeDocument document;
    std::function<void(testing_support::FakeWizardDialog&)> onIdle;
};
