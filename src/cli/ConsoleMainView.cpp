#include "cli/ConsoleMainView.h"

ConsoleMainView::ConsoleMainView(CTessalineDoc& document, DocumentAdapter::AskFileName askFileName,
                                 WizardEnvironment environment, Threading::IPrompt& prompt)
    : document_(document),
      adapter_(document, std::move(askFileName)),
      environment_(std::move(environment)),
      prompt_(prompt) {}

bool ConsoleMainView::RunWizard(int kind, uint32_t options) {
    return ::RunWizard(kind, nullptr, adapter_, options, environment_);
}

bool ConsoleMainView::HasResults() {
    return !document_.Data().results.empty();
}
