// tessaline-cli erase: erases the equaliser of the connected subwoofer.

#include "cli/Cli.h"
#include "cli/CliWizard.h"
#include "cli/UsbSession.h"
#include "threading/Errors.h"
#include "wizard/CalculateStepConsole.h"
#include "wizard/MainCommands.h"
#include "wizard/Steps.h"

namespace cli::erase_command {

Command Make() {
    return {"erase", [](CLI::App& app, cli::GlobalOptions& globals) {
                auto* cmd = app.add_subcommand("erase", "Erase the subwoofer's equaliser");
                cmd->callback([&globals] {
                    cli::CommandDocument document;
                    cli::RunCommandWizard(
                        globals.session->Bridge(), kWizardUpload, kOptionErase | kOptionNoSave,
                        document,
                        StandardSteps(cli::UsbSteps(globals), ConsoleTargetDialogFactory()));
                    cli::PrintLine(tsl::ToUtf8(kEraseSuccessText));
                });
            }};
}

}  // namespace cli::erase_command
