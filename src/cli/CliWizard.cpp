#include "cli/CliWizard.h"

#include <unistd.h>

#include <ostream>

#include "cli/ConsoleDialog.h"
#include "cli/ConsoleMainView.h"
#include "cli/ConsolePrompt.h"
#include "document/DocFile.h"
#include "threading/Clock.h"
#include "threading/Errors.h"

namespace cli {

namespace {

// Boxes that only inform (the step's failure among them) are dropped: the command reports the
// failure itself. Questions go to the terminal.
class CommandPrompt : public Threading::IPrompt {
public:
    Threading::MsgResult MessageBox(const std::wstring& text, const std::wstring& caption,
                                    Threading::MsgButtons buttons,
                                    Threading::MsgIcon icon) override {
        if (buttons == Threading::MsgButtons::Ok)
            return Threading::MsgResult::Ok;
        return Standard().MessageBox(text, caption, buttons, icon);
    }
    std::optional<size_t> Choose(const std::wstring& prompt,
                                 const std::vector<std::wstring>& choices) override {
        return Standard().Choose(prompt, choices);
    }

private:
    static Threading::IPrompt& Standard() {
        return Threading::ConsolePrompt::Standard(Threading::PresetAnswer::None);
    }
};

}  // namespace

bool CommandDocument::DoFileSave() {
    saveFailure_ = nullptr;
    if (!saveTo_)
        return false;
    try {
        WriteDocFile(*saveTo_, data_);
    } catch (...) {
        saveFailure_ = std::current_exception();
        throw;
    }
    return true;
}

void CommandDocument::CheckSaved() const {
    if (saveFailure_)
        std::rethrow_exception(saveFailure_);
}

void RunCommandWizard(Threading::MessageBridge& bridge, int kind, uint32_t options,
                      CommandDocument& document, const WizardStepTable& table) {
    WizardEnvironment environment;
    environment.bridge = &bridge;
    environment.steps = table;
    CommandPrompt prompt;
    std::ostream discard(nullptr);
    environment.makeDialog =
        ConsoleDialogFactory(prompt, discard, false, Threading::RealClock::Instance(), nullptr,
                             ::isatty(STDIN_FILENO) != 0);
    std::wstring failure;
    if (!RunWizard(kind, nullptr, document, options, environment, &failure))
        throw tsl::wruntime_error(failure.empty() ? ::StepFailedText(kind, options, table)
                                                  : failure);
    document.CheckSaved();
}

}  // namespace cli
