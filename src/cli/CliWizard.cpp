#include "cli/CliWizard.h"

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
    explicit CommandPrompt(const Io& io)
        : console_(io.in, io.err, io.inTerminal, Threading::PresetAnswer::None, io.interrupts) {}
    Threading::MsgResult MessageBox(const std::wstring& text, const std::wstring& caption,
                                    Threading::MsgButtons buttons,
                                    Threading::MsgIcon icon) override {
        if (buttons == Threading::MsgButtons::Ok)
            return Threading::MsgResult::Ok;
        return console_.MessageBox(text, caption, buttons, icon);
    }
    std::optional<size_t> Choose(const std::wstring& prompt,
                                 const std::vector<std::wstring>& choices) override {
        return console_.Choose(prompt, choices);
    }

private:
    Threading::ConsolePrompt console_;
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

void RunCommandWizard(const Context& context, int kind, uint32_t options, CommandDocument& document,
                      const WizardStepTable& table) {
    WizardEnvironment environment;
    environment.bridge = &context.bridge;
    environment.steps = table;
    CommandPrompt prompt(context.io);
    std::ostream discard(nullptr);
    environment.makeDialog =
        ConsoleDialogFactory(prompt, discard, false, Threading::RealClock::Instance(), nullptr,
                             context.io.inTerminal, context.io.interrupts);
    std::wstring failure;
    if (!RunWizard(kind, nullptr, document, options, environment, &failure))
        throw tsl::wruntime_error(failure.empty() ? ::StepFailedText(kind, options, table)
                                                  : failure);
    document.CheckSaved();
}

History::Setup HistorySetup(const Context& context, const std::filesystem::path& document) {
    History::Setup setup;
    setup.folder = context.environment.HistoryDir();
    if (!document.empty()) {
        std::error_code ec;
        std::filesystem::path absolute = std::filesystem::absolute(document, ec);
        setup.documentPath = [path = ec ? document : absolute] { return path; };
    }
    std::ostream* err = &context.io.err;
    setup.notice = [err](const std::wstring& text) {
        *err << tsl::ToUtf8(text) + "\n" << std::flush;
    };
    return setup;
}

MeasureEnvironment UsbSteps(const Context& context, const std::filesystem::path& document) {
    MeasureEnvironment environment;
    environment.usb = context.environment.Usb();
    environment.deviceCheck.driver = context.environment.Driver();
    environment.history = HistorySetup(context, document);
    return environment;
}

}  // namespace cli
