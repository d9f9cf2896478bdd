#pragma once
// The main window's view for the command line: the command chains run their wizards over the
// open document with console dialogs, exactly as the main window does with its own.

#include <string>

#include "document/TessalineDoc.h"
#include "wizard/DocumentAdapter.h"
#include "wizard/MainCommands.h"
#include "wizard/RunWizard.h"
#include "wizard/WizardDialog.h"

class ConsoleMainView : public IMainView {
public:
    // environment.makeDialog is typically StandardConsoleDialogFactory; prompt answers the
    // view's own questions. Everything given must outlive the view.
    ConsoleMainView(CTessalineDoc& document, DocumentAdapter::AskFileName askFileName,
                    WizardEnvironment environment, Threading::IPrompt& prompt);

    bool RunWizard(int kind, uint32_t options) override;
    void Refresh() override {}
    bool HasResults() override;
    Threading::IPrompt& Prompt() override { return prompt_; }
    std::wstring ApplicationTitle() const override { return kApplicationTitle; }

private:
    CTessalineDoc& document_;
    DocumentAdapter adapter_;
    WizardEnvironment environment_;
    Threading::IPrompt& prompt_;
};
