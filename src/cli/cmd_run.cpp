// tessaline-cli run --out DOC: the main window's Measure button on the terminal: Measure,
// Calculate with crossover detection and Upload, each saving the document.

#include <memory>

#include "cli/Cli.h"
#include "cli/ConsoleMainView.h"
#include "cli/MeasureSession.h"
#include "document/TessalineDoc.h"
#include "threading/Errors.h"
#include "wizard/CalculateStepConsole.h"
#include "wizard/MainCommands.h"
#include "wizard/Steps.h"

namespace cli::run_command {

void Run(const cli::MeasureArgs& args, const cli::GlobalOptions& globals) {
    cli::MeasureSession session(args, globals);
    CTessalineDoc document(&session.Prompt());
    WizardStepTable steps = StandardSteps(session.Environment(), ConsoleTargetDialogFactory());
    const std::filesystem::path out = session.Out();
    ConsoleMainView view(
        document, [out]() -> std::optional<std::filesystem::path> { return out; },
        session.Wizard(std::move(steps)), session.Prompt());
    if (!MeasureCommand(view))
        cli::ChainStopped(view, out);
    cli::PrintLine("Document written to " + out.string());
    // Scripts read the outcome from stdout, as from `upload`; the box above went to the terminal.
    cli::PrintLine(tsl::ToUtf8(kUploadSuccessText));
}

Command Make() {
    return {"run", [](CLI::App& app, cli::GlobalOptions& globals) {
                auto args = std::make_shared<cli::MeasureArgs>();
                auto* cmd = app.add_subcommand(
                    "run",
                    "The Measure button: measure, calculate with crossover detection, upload");
                cli::AddMeasureOptions(*cmd, *args);
                cmd->callback([args, &globals] { Run(*args, globals); });
            }};
}

}  // namespace cli::run_command
