#pragma once
// Runs one of the main window's wizards from a command: the console front-end with its chatter
// dropped, so that the command's output stays its own, and the step's failure raised again.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "cli/Cli.h"
#include "wizard/MeasureStep.h"
#include "wizard/RunWizard.h"

namespace cli {

// The document of one command: saved to a file (when it has one) and any save failure kept.
class CommandDocument : public IWizardDocument {
public:
    explicit CommandDocument(std::optional<std::filesystem::path> saveTo = std::nullopt)
        : saveTo_(std::move(saveTo)) {}

    DocData& Data() override { return data_; }
    void SetModifiedFlag(bool) override {}
    bool DoFileSave() override;

    // Rethrows a failure of the last save.
    void CheckSaved() const;

private:
    DocData data_;
    std::optional<std::filesystem::path> saveTo_;
    std::exception_ptr saveFailure_;
};

// Runs the wizard of kind over the document with table's steps, its questions on the context's
// terminal. Throws tsl::wruntime_error with the message the wizard showed ("<text>\n<step>
// failed.", or "<step> failed." when the step failed without raising) when the wizard does not
// succeed, and a save failure as it was raised.
void RunCommandWizard(const Context& context, int kind, uint32_t options, CommandDocument& document,
                      const WizardStepTable& table);

// Where the steps record what they wrote: the environment's history folder, its notices on
// stderr; document is the file being uploaded (empty: none).
History::Setup HistorySetup(const Context& context, const std::filesystem::path& document = {});

// The steps' environment for commands that only talk to the subwoofer (upload, erase, history).
MeasureEnvironment UsbSteps(const Context& context, const std::filesystem::path& document = {});

}  // namespace cli
