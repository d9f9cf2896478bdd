// tessaline-cli verify --out DOC: measure again after an upload and compare the new average with
// the document's calculated curve and target; the document keeps the new average beside them.

#include <memory>

#include <nlohmann/json.hpp>

#include "cli/Analyse.h"
#include "cli/Command.h"
#include "cli/ConsoleMainView.h"
#include "cli/DocJson.h"
#include "cli/MeasureSession.h"
#include "document/TessalineDoc.h"
#include "threading/Errors.h"
#include "wizard/VerifyStep.h"

namespace cli::verify_command {

struct VerifyArgs {
    cli::MeasureArgs measure;
    std::string band;
};

nlohmann::ordered_json DifferenceJson(const std::optional<LevelDifference>& d) {
    if (!d || d->points == 0)
        return nullptr;
    return {{"rms_db", d->rmsDb}, {"max_db", d->maxDb}};
}

void Verify(const VerifyArgs& args, const Context& context) {
    std::optional<std::pair<double, double>> band;
    if (!args.band.empty()) {
        cli::AnalyseOptions parsed;
        cli::ParseBand(args.band, parsed);
        band = {parsed.bandLow, parsed.bandHigh};
    }
    cli::MeasureSession session(args.measure, context);
    CTessalineDoc document(&session.Prompt());
    const std::filesystem::path out = session.Out();
    cli::ReadDocument(out.string(), document.Data());
    WizardStepTable steps = WizardStepTable::Defaults();
    steps.verify = MakeVerifyStep(session.Environment());
    ConsoleMainView view(
        document, [out]() -> std::optional<std::filesystem::path> { return out; },
        session.Wizard(std::move(steps)), session.Prompt(), context.io.interrupts);
    if (!view.RunWizard(kWizardVerify, 0))
        cli::ChainStopped(view, out);
    const auto report = CompareVerified(document.Data(), band);
    if (!report)
        throw tsl::wruntime_error(L"The Verify step kept no curve.");
    nlohmann::ordered_json json{{"positions", report->positions},
                                {"band", {report->low, report->high}},
                                {"gain_left_db", report->gainLeftDb},
                                {"calculated", DifferenceJson(report->calculated)},
                                {"target", DifferenceJson(report->target)}};
    cli::PrintLine(context.io.out, json.dump());
}

class VerifyCommand final : public Command {
public:
    VerifyCommand() { args_.measure.minPositions = kMinVerifyPositions; }
    std::string Name() const override { return "verify"; }
    std::string Description() const override {
        return "Measure again after an upload and compare with the calculated curve and the "
               "target";
    }
    void AddOptions(CLI::App& cmd) override {
        cli::AddMeasureOptions(cmd, args_.measure);
        cmd.add_option("--band", args_.band,
                       "Compare over LO:HI in Hz (default: the document's fit band)");
    }
    void Run(const Context& context) override { Verify(args_, context); }

private:
    VerifyArgs args_;
};

std::unique_ptr<Command> Make() {
    return std::make_unique<VerifyCommand>();
}

}  // namespace cli::verify_command
