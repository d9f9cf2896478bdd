#pragma once
// The main window's view for the command line: the command chains run their wizards over the
// open document with console dialogs, exactly as the main window does with its own. The view
// keeps what the command reports afterwards: the failure the wizard showed, whether Ctrl-C
// aborted it, and which saves reached the file.

#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/ConsoleInterrupt.h"
#include "document/TessalineDoc.h"
#include "wizard/DocumentAdapter.h"
#include "wizard/MainCommands.h"
#include "wizard/RunWizard.h"
#include "wizard/WizardDialog.h"

// "<step> failed." for the wizard of kind.
std::wstring StepFailedText(int kind, uint32_t options, const WizardStepTable& table);

class ConsoleMainView : public IMainView {
public:
    // environment.makeDialog makes console dialogs; prompt answers the view's own questions;
    // interrupts (may be null) are the presses that abort its dialogs. Everything given must
    // outlive the view.
    ConsoleMainView(CTessalineDoc& document, DocumentAdapter::AskFileName askFileName,
                    WizardEnvironment environment, Threading::IPrompt& prompt,
                    const Threading::ConsoleInterrupts* interrupts = nullptr);

    // False also when the wizard succeeded but its document could not be saved: the chain
    // then stops, as nothing after it should run on results that were not kept.
    bool RunWizard(int kind, uint32_t options) override;
    void Refresh() override {}
    bool HasResults() override;
    Threading::IPrompt& Prompt() override { return prompt_; }
    std::wstring ApplicationTitle() const override { return kApplicationTitle; }

    // The message of the last wizard that did not succeed ("<text>\n<step> failed.").
    const std::wstring& Failure() const { return failure_; }
    // The step of the last wizard run.
    const std::wstring& Step() const { return currentStep_; }
    // Whether Ctrl-C aborted the last wizard.
    bool Aborted() const { return aborted_; }
    // The names of the steps whose results were saved to the file, in order.
    const std::vector<std::wstring>& SavedSteps() const { return savedSteps_; }
    // The failure of a save, and where the data went instead (when it could be kept).
    std::exception_ptr SaveFailure() const { return saveFailure_; }
    const std::optional<std::filesystem::path>& Recovered() const { return recovered_; }

private:
    // The adapter's save, with a failure kept and the data saved under another name.
    class SavingDocument : public IWizardDocument {
    public:
        SavingDocument(ConsoleMainView& view, DocumentAdapter& adapter)
            : view_(view), adapter_(adapter) {}
        DocData& Data() override { return adapter_.Data(); }
        void SetModifiedFlag(bool modified) override { adapter_.SetModifiedFlag(modified); }
        bool DoFileSave() override;

    private:
        ConsoleMainView& view_;
        DocumentAdapter& adapter_;
    };

    void Recover();

    CTessalineDoc& document_;
    DocumentAdapter::AskFileName askFileName_;
    DocumentAdapter adapter_;
    SavingDocument saving_;
    WizardEnvironment environment_;
    Threading::IPrompt& prompt_;
    const Threading::ConsoleInterrupts* interrupts_;
    std::wstring failure_;
    bool aborted_ = false;
    std::wstring currentStep_;
    std::vector<std::wstring> savedSteps_;
    std::exception_ptr saveFailure_;
    std::optional<std::filesystem::path> recovered_;
};
