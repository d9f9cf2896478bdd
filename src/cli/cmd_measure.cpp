// tessaline-cli measure --out DOC: the Measure wizard on the terminal, against the subwoofer and
// microphone, or the simulated ones with --simulate.

#include <memory>

#include "cli/Command.h"
#include "cli/ConsoleMainView.h"
#include "cli/MeasureSession.h"
#include "document/TessalineDoc.h"
#include "threading/Errors.h"

namespace cli::measure_command {

void Measure(const cli::MeasureArgs& args, const Context& context) {
    cli::MeasureSession session(args, context);
    CTessalineDoc document(&session.Prompt());
    WizardStepTable steps = WizardStepTable::Defaults();
    steps.measure = MakeMeasureStep(session.Environment());
    const std::filesystem::path out = session.Out();
    ConsoleMainView view(
        document, [out]() -> std::optional<std::filesystem::path> { return out; },
        session.Wizard(std::move(steps)), session.Prompt(), context.io.interrupts);
    if (!view.RunWizard(kWizardMeasure, 0))
        cli::ChainStopped(view, out);
    const DocData& d = document.Data();
    cli::PrintLine(context.io.out, "Measured " + std::to_string(d.measurements.size()) +
                                       " positions of " + tsl::ToUtf8(d.name) + " into " +
                                       out.string());
}

class MeasureCommand final : public Command {
public:
    std::string Name() const override { return "measure"; }
    std::string Description() const override {
        return "Measure the room at 5 to 10 microphone positions (the Measure wizard)";
    }
    void AddOptions(CLI::App& cmd) override { cli::AddMeasureOptions(cmd, args_); }
    void Run(const Context& context) override { Measure(args_, context); }

private:
    cli::MeasureArgs args_;
};

std::unique_ptr<Command> Make() {
    return std::make_unique<MeasureCommand>();
}

}  // namespace cli::measure_command
