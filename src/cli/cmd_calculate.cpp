// tessaline-cli calculate DOC: the main window's Calculate step on a document: the target from
// the averaged measurement and the fitted equaliser, written back into the document.

#include <nlohmann/json.hpp>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "cli/CliWizard.h"
#include "cli/Command.h"
#include "cli/DocJson.h"
#include "document/DocFile.h"
#include "threading/Errors.h"
#include "wizard/CalculateFit.h"
#include "wizard/CalculateStep.h"
#include "wizard/Steps.h"

namespace cli::calculate_command {

struct CalculateArgs {
    std::string doc, out, fit;
    bool detect = false;
    std::optional<int32_t> crossover, hpOrder, hpFreq, minEq;

    bool Overrides() const { return crossover || hpOrder || hpFreq || minEq; }
};

// The target dialog answered from the command line: OK with the given settings changed.
class PresetTargetDialog : public ITargetDialog {
public:
    explicit PresetTargetDialog(const CalculateArgs& args) : args_(args) {}
    bool DoModal(TargetSettings& s) override {
        s.crossover = args_.crossover.value_or(s.crossover);
        s.hpOrder = args_.hpOrder.value_or(s.hpOrder);
        s.hpFreq = args_.hpFreq.value_or(s.hpFreq);
        s.minEqFreq = args_.minEq.value_or(s.minEqFreq);
        return true;
    }

private:
    const CalculateArgs& args_;
};

// Frequencies the target dialog's controls accept: from their lowest to the crossover in effect.
void CheckFrequency(const char* option, const std::optional<int32_t>& value, int32_t crossover) {
    if (value && (*value < kFrequencyMin || *value > crossover))
        throw cli::UsageError(std::string(option) + " must be from " +
                              std::to_string(kFrequencyMin) + " to " + std::to_string(crossover) +
                              " Hz (the crossover): " + std::to_string(*value));
}

void Calculate(const CalculateArgs& args, const Context& context) {
    cli::CommandDocument document(args.out.empty() ? args.doc : args.out);
    cli::ReadDocument(args.doc, document.Data());
    const int32_t crossover = std::clamp(args.crossover.value_or(document.Data().crossover),
                                         kCrossoverMin, kCrossoverMax);
    CheckFrequency("--hp-freq", args.hpFreq, crossover);
    CheckFrequency("--min-eq", args.minEq, crossover);
    if (!args.fit.empty())
        document.Data().fitMethod = FitMethodFromName(args.fit);

    TargetDialogFactory preset = [&args](IProcDialog&,
                                         const DocData&) -> std::unique_ptr<ITargetDialog> {
        return std::make_unique<PresetTargetDialog>(args);
    };
    // With overrides the step runs as the "Target" command does, through the dialog; with
    // detection as well, the dialog's values go in first and the crossover is detected after.
    const uint32_t mode = args.detect        ? kOptionDetectCrossover
                          : args.Overrides() ? kOptionTargetDialog
                                             : 0;
    auto level = std::make_shared<double>(0.0);
    WizardStepTable table = StandardSteps({}, preset);
    table.calculate = DocumentStep(
        L"Calculate", [&args, preset, level, mode](IProcDialog* progress, DocData& data, uint32_t) {
            if (args.detect && args.Overrides() && !data.measurements.empty())
                CustomizeTarget(progress, data, kOptionTargetDialog, preset);
            return CalculateStep(progress, data, mode, preset, level.get());
        });
    cli::RunCommandWizard(context, kWizardCalculate, mode, document, table);

    const DocData& d = document.Data();
    // The equaliser as the upload writes it, against the target (null when it cannot be written).
    nlohmann::ordered_json rms, largest;
    if (const auto fit = DeliveredFitError(d)) {
        rms = fit->rmsDb;
        largest = fit->maxDb;
    }
    nlohmann::ordered_json out{
        {"crossover", d.crossover},
        {"hp_order", d.hpOrder},
        {"hp_freq", d.hpFreq},
        {"min_eq_freq", d.minEqFreq},
        {"fit_lower", d.fitLower},
        {"fit_upper", d.fitUpper},
        {"level_db", *level},
        {"eq", cli::EqJson(d.eq)},
        {"fit",
         {{"rms_db", rms},
          {"max_db", largest},
          {"method", std::string(FitMethodName(d.fitMethod.value_or(kDefaultFitMethod)))}}}};
    cli::PrintLine(context.io.out, out.dump());
}

class CalculateCommand final : public Command {
public:
    std::string Name() const override { return "calculate"; }
    std::string Description() const override {
        return "Build the target and fit the equaliser of a document (the Calculate step)";
    }
    void AddOptions(CLI::App& cmd) override {
        cmd.add_option("DOC", args_.doc, "Measurement document")->required();
        auto* detect =
            cmd.add_flag("--detect-crossover", args_.detect, "Detect the crossover frequency");
        cmd.add_option("--crossover", args_.crossover, "Crossover frequency in Hz (160 to 250)")
            ->excludes(detect)
            ->check(CLI::Range(kCrossoverMin, kCrossoverMax));
        cmd.add_option("--hp-order", args_.hpOrder,
                       "High-pass order: 0 Auto, 1 Flat, 2 to 9 1st to 8th order")
            ->check(CLI::Range(kHpOrderMin, kHpOrderMax));
        cmd.add_option("--hp-freq", args_.hpFreq,
                       "High-pass frequency in Hz (20 to the crossover)");
        cmd.add_option("--min-eq", args_.minEq, "Minimum EQ frequency in Hz (20 to the crossover)");
        cmd.add_option("--fit", args_.fit,
                       "The fit: refined (the default) or classic (without the refinement); "
                       "without it, the one the document records")
            ->check(CLI::IsMember({"refined", "classic"}));
        cmd.add_option("--out", args_.out, "Write the document here instead of in place");
    }
    void Run(const Context& context) override { Calculate(args_, context); }

private:
    CalculateArgs args_;
};

std::unique_ptr<Command> Make() {
    return std::make_unique<CalculateCommand>();
}

}  // namespace cli::calculate_command
