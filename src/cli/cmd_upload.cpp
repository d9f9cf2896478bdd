// tessaline-cli upload DOC: writes the document's equaliser into the connected subwoofer.

#include <memory>
#include <string>

#include "cli/Cli.h"
#include "cli/CliWizard.h"
#include "cli/DocJson.h"
#include "cli/UsbSession.h"
#include "document/DocFile.h"
#include "threading/Errors.h"
#include "wizard/CalculateStepConsole.h"
#include "wizard/MainCommands.h"
#include "wizard/Steps.h"

namespace cli::upload_command {

Command Make() {
    return {"upload", [](CLI::App& app, cli::GlobalOptions& globals) {
                auto path = std::make_shared<std::string>();
                auto* cmd =
                    app.add_subcommand("upload", "Write a document's equaliser into the subwoofer");
                cmd->add_option("DOC", *path, "Measurement document")->required();
                cmd->callback([path, &globals] {
                    // The upload changes nothing in the document, so the file is left as it is.
                    cli::CommandDocument document;
                    cli::ReadDocument(*path, document.Data());
                    cli::RunCommandWizard(
                        globals.session->Bridge(), kWizardUpload, kOptionNoSave, document,
                        StandardSteps(cli::UsbSteps(globals), ConsoleTargetDialogFactory()));
                    cli::PrintLine(tsl::ToUtf8(kUploadSuccessText));
                });
            }};
}

}  // namespace cli::upload_command
