#include "cli/CliWizard.h"

#include <memory>
#include <mutex>
#include <ostream>

#include "cli/ConsoleDialog.h"
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

// Keeps the text of the exception a step raises.
struct FailureRecord {
    std::mutex lock;
    std::optional<std::wstring> text;
};

StepFunction Recording(StepFunction step, std::shared_ptr<FailureRecord> record) {
    return [step = std::move(step), record](IProcDialog* p, void* a1, void* a2) -> bool {
        try {
            return step(p, a1, a2);
        } catch (const std::exception& e) {
            std::lock_guard<std::mutex> g(record->lock);
            record->text = tsl::ExceptionText(e);
            throw;
        }
    };
}

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
    auto record = std::make_shared<FailureRecord>();
    WizardEnvironment environment;
    environment.bridge = &bridge;
    environment.steps = table;
    environment.steps.measure = Recording(table.measure, record);
    environment.steps.calculate = Recording(table.calculate, record);
    environment.steps.upload = Recording(table.upload, record);
    CommandPrompt prompt;
    std::ostream discard(nullptr);
    environment.makeDialog =
        ConsoleDialogFactory(prompt, discard, false, Threading::RealClock::Instance());
    const bool ok = RunWizard(kind, nullptr, document, options, environment);
    if (!ok) {
        std::lock_guard<std::mutex> g(record->lock);
        if (record->text)
            throw tsl::wruntime_error(*record->text);
        std::vector<WizardStep> steps = StepsForKind(kind, options, table);
        std::wstring name = steps.empty() ? L"Wizard" : steps.front().name;
        throw tsl::wruntime_error(name + L" failed.");
    }
    document.CheckSaved();
}

}  // namespace cli
