// tessaline-cli upload DOC: writes the document's equaliser into the connected subwoofer.

#include <memory>
#include <string>

#include "cli/CliWizard.h"
#include "cli/Command.h"
#include "cli/DocJson.h"
#include "document/DocFile.h"
#include "threading/Errors.h"
#include "wizard/CalculateStepConsole.h"
#include "wizard/MainCommands.h"
#include "wizard/Steps.h"

namespace cli::upload_command {

class UploadCommand final : public Command {
public:
    std::string Name() const override { return "upload"; }
    std::string Description() const override {
        return "Write a document's equaliser into the subwoofer";
    }
    void AddOptions(CLI::App& cmd) override {
        cmd.add_option("DOC", path_, "Measurement document")->required();
    }
    void Run(const Context& context) override {
        // The upload changes nothing in the document, so the file is left as it is.
        cli::CommandDocument document;
        cli::ReadDocument(path_, document.Data());
        cli::RunCommandWizard(
            context, kWizardUpload, kOptionNoSave, document,
            StandardSteps(cli::UsbSteps(context, path_), ConsoleTargetDialogFactory()));
        cli::PrintLine(context.io.out, tsl::ToUtf8(kUploadSuccessText));
    }

private:
    std::string path_;
};

std::unique_ptr<Command> Make() {
    return std::make_unique<UploadCommand>();
}

}  // namespace cli::upload_command
