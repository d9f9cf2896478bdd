#include "cli/ConsoleMainView.h"

#include <unistd.h>

#include "document/DocFile.h"
#include "threading/Errors.h"

std::wstring StepFailedText(int kind, uint32_t options, const WizardStepTable& table) {
    std::vector<WizardStep> steps = StepsForKind(kind, options, table);
    return (steps.empty() ? std::wstring(L"Wizard") : steps.front().name) + L" failed.";
}

ConsoleMainView::ConsoleMainView(CTessalineDoc& document, DocumentAdapter::AskFileName askFileName,
                                 WizardEnvironment environment, Threading::IPrompt& prompt,
                                 const Threading::ConsoleInterrupts* interrupts)
    : document_(document),
      askFileName_(askFileName),
      adapter_(document, std::move(askFileName)),
      saving_(*this, adapter_),
      environment_(std::move(environment)),
      prompt_(prompt),
      interrupts_(interrupts) {}

bool ConsoleMainView::RunWizard(int kind, uint32_t options) {
    failure_.clear();
    aborted_ = false;
    const std::vector<WizardStep> steps = StepsForKind(kind, options, environment_.steps);
    currentStep_ = steps.empty() ? std::wstring(L"Wizard") : steps.front().name;
    const std::exception_ptr earlierFailure = saveFailure_;
    auto presses = [this] { return interrupts_ ? interrupts_->Presses() : 0; };
    const int interrupts = presses();
    const bool ok = ::RunWizard(kind, nullptr, saving_, options, environment_, &failure_);
    if (!ok) {
        aborted_ = presses() != interrupts;
        if (failure_.empty())
            failure_ = StepFailedText(kind, options, environment_.steps);
    }
    return ok && saveFailure_ == earlierFailure;
}

bool ConsoleMainView::HasResults() {
    return !document_.Data().results.empty();
}

bool ConsoleMainView::SavingDocument::DoFileSave() {
    try {
        const bool saved = adapter_.DoFileSave();
        if (saved)
            view_.savedSteps_.push_back(view_.currentStep_);
        return saved;
    } catch (...) {
        view_.saveFailure_ = std::current_exception();
        view_.Recover();
        throw;
    }
}

void ConsoleMainView::Recover() {
    // The document's own name, or the command's, names the recovery file.
    std::filesystem::path wanted = document_.PathName();
    if (wanted.empty() && askFileName_)
        wanted = askFileName_().value_or(std::filesystem::path());
    if (wanted.empty())
        wanted = "Measurements.ktsl";
    const std::string name = wanted.stem().string() + ".recovered-" + std::to_string(::getpid()) +
                             wanted.extension().string();
    std::error_code error;
    std::vector<std::filesystem::path> places;
    if (wanted.has_parent_path())
        places.push_back(wanted.parent_path() / name);
    places.push_back(std::filesystem::temp_directory_path(error) / name);
    for (const auto& place : places) {
        try {
            WriteDocFile(place, document_.Data());
            recovered_ = place;
            prompt_.MessageBox(L"The results were saved to \"" + tsl::FromUtf8(place.string()) +
                                   L"\" instead of \"" + tsl::FromUtf8(wanted.string()) + L"\".",
                               kApplicationTitle, Threading::MsgButtons::Ok,
                               Threading::MsgIcon::Warning);
            return;
        } catch (const std::exception&) {
            // Try the next place.
        }
    }
}
