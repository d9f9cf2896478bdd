// tessaline-cli measure --out DOC: the Measure wizard on the terminal, against the subwoofer and
// microphone, or the simulated ones with --simulate.

#include <memory>

#include "cli/Cli.h"
#include "cli/ConsoleMainView.h"
#include "cli/MeasureSession.h"
#include "document/TessalineDoc.h"
#include "threading/Errors.h"

namespace cli::measure_command {

void Measure(const cli::MeasureArgs& args, const cli::GlobalOptions& globals) {
    cli::MeasureSession session(args, globals);
    CTessalineDoc document(&session.Prompt());
    WizardStepTable steps = WizardStepTable::Defaults();
    steps.measure = MakeMeasureStep(session.Environment());
    const std::filesystem::path out = session.Out();
    ConsoleMainView view(
        document, [out]() -> std::optional<std::filesystem::path> { return out; },
        session.Wizard(std::move(steps)), session.Prompt());
    if (!view.RunWizard(kWizardMeasure, 0))
        cli::ChainStopped(view, out);
    const DocData& d = document.Data();
    cli::PrintLine("Measured " + std::to_string(d.measurements.size()) + " positions of " +
                   tsl::ToUtf8(d.name) + " into " + out.string());
}

Command Make() {
    return {"measure", [](CLI::App& app, cli::GlobalOptions& globals) {
                auto args = std::make_shared<cli::MeasureArgs>();
                auto* cmd = app.add_subcommand(
                    "measure",
                    "Measure the room at 5 to 10 microphone positions (the Measure wizard)");
                cli::AddMeasureOptions(*cmd, *args);
                cmd->callback([args, &globals] { Measure(*args, globals); });
            }};
}

}  // namespace cli::measure_command
