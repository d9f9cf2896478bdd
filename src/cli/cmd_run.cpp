// tessaline-cli run --out DOC: the main window's Measure button on the terminal: Measure,
// Calculate with crossover detection and Upload, each saving the document.

#include <memory>

#include "cli/CliWizard.h"
#include "cli/Command.h"
#include "cli/ConsoleMainView.h"
#include "cli/MeasureSession.h"
#include "document/TessalineDoc.h"
#include "threading/Errors.h"
#include "wizard/CalculateStepConsole.h"
#include "wizard/MainCommands.h"
#include "wizard/Steps.h"

namespace cli::run_command {

void RunChain(const cli::MeasureArgs& args, const Context& context) {
    cli::MeasureSession session(args, context);
    CTessalineDoc document(&session.Prompt());
    const std::filesystem::path out = session.Out();
    MeasureEnvironment environment = session.Environment();
    environment.history = cli::HistorySetup(context, out);
    WizardStepTable steps = StandardSteps(environment, ConsoleTargetDialogFactory());
    ConsoleMainView view(
        document, [out]() -> std::optional<std::filesystem::path> { return out; },
        session.Wizard(std::move(steps)), session.Prompt(), context.io.interrupts);
    if (!MeasureCommand(view))
        cli::ChainStopped(view, out);
    cli::PrintLine(context.io.out, "Document written to " + out.string());
    // Scripts read the outcome from stdout, as from `upload`; the box above went to the terminal.
    cli::PrintLine(context.io.out, tsl::ToUtf8(kUploadSuccessText));
}

class RunCommand final : public Command {
public:
    std::string Name() const override { return "run"; }
    std::string Description() const override {
        return "The Measure button: measure, calculate with crossover detection, upload";
    }
    void AddOptions(CLI::App& cmd) override { cli::AddMeasureOptions(cmd, args_); }
    void Run(const Context& context) override { RunChain(args_, context); }

private:
    cli::MeasureArgs args_;
};

std::unique_ptr<Command> Make() {
    return std::make_unique<RunCommand>();
}

}  // namespace cli::run_command
