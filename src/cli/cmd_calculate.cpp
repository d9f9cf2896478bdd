// tessaline-cli calculate DOC: the main window's Calculate step on a document: the target from
// the averaged measurement and the fitted equaliser, written back into the document.

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
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
    // The house curve and the limits; none: the document's.
    std::optional<std::string> bassShelf, houseCurve;
    std::optional<double> tilt, maxBoost, eqUpper;
    bool cutsOnly = false;

    bool Overrides() const { return crossover || hpOrder || hpFreq || minEq; }
};

// The value that clears the house curve file.
constexpr char kNoHouseCurve[] = "none";

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

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

void CheckRange(const std::string& option, double value, double lo, double hi, const char* unit) {
    if (!(value >= lo && value <= hi))
        throw cli::UsageError(option + " must be from " + Number(lo) + " to " + Number(hi) + " " +
                              unit + ": " + Number(value));
}

bool ParseNumber(const std::string& text, double& value) {
    std::size_t used = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        return false;
    }
    return used == text.size() && std::isfinite(value);
}

// "--bass-shelf DB[@HZ]"; without a corner the document's is kept.
void ParseBassShelf(const std::string& text, HouseSettings& house) {
    const std::size_t at = text.find('@');
    double db = 0.0, hz = house.shelfHz;
    if (!ParseNumber(text.substr(0, at), db) ||
        (at != std::string::npos && !ParseNumber(text.substr(at + 1), hz)))
        throw cli::UsageError("--bass-shelf must be DB or DB@HZ: " + text);
    CheckRange("--bass-shelf", db, kShelfDbMin, kShelfDbMax, "dB");
    CheckRange("--bass-shelf corner", hz, kShelfHzMin, kShelfHzMax, "Hz");
    house.shelfDb = db;
    house.shelfHz = hz;
}

// The document's house curve and limits with the command line's changes; every value is
// checked, and a house curve file read, before anything is calculated.
HouseSettings HouseFromArgs(const CalculateArgs& args, HouseSettings house) {
    if (args.bassShelf)
        ParseBassShelf(*args.bassShelf, house);
    if (args.tilt) {
        CheckRange("--tilt", *args.tilt, kTiltMin, kTiltMax, "dB per octave");
        house.tiltDbPerOctave = *args.tilt;
    }
    if (args.maxBoost) {
        CheckRange("--max-boost", *args.maxBoost, kMaxBoostDbMin, kMaxBoostDbMax, "dB");
        house.maxBoostDb = *args.maxBoost;
    }
    if (args.cutsOnly)
        house.maxBoostDb = 0.0;
    if (args.eqUpper) {
        CheckRange("--eq-upper", *args.eqUpper, kUpperHzMin, kUpperHzMax, "Hz");
        house.upperHz = *args.eqUpper;
    }
    if (args.houseCurve && *args.houseCurve == kNoHouseCurve)
        house.file.reset();
    else if (args.houseCurve)
        house.file = ReadHouseCurve(*args.houseCurve);
    return house;
}

void Calculate(const CalculateArgs& args, const Context& context) {
    cli::CommandDocument document(args.out.empty() ? args.doc : args.out);
    cli::ReadDocument(args.doc, document.Data());
    const int32_t crossover = std::clamp(args.crossover.value_or(document.Data().crossover),
                                         kCrossoverMin, kCrossoverMax);
    CheckFrequency("--hp-freq", args.hpFreq, crossover);
    CheckFrequency("--min-eq", args.minEq, crossover);
    document.Data().house = HouseFromArgs(args, document.Data().house);
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
          {"method", std::string(FitMethodName(d.fitMethod.value_or(kDefaultFitMethod)))}}},
        {"house", cli::HouseJson(d.house)},
        {"limits", cli::LimitsJson(d.house, FitLimits(d).second)}};
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
        cmd.add_option("--bass-shelf", args_.bassShelf,
                       "Bass shelf on the target, DB[@HZ]: gain DB (-6 to 12, 0 none) and its "
                       "corner HZ (20 to 200; without it the document's, 60 by default)");
        cmd.add_option("--tilt", args_.tilt,
                       "Target tilt in dB per octave about the crossover (-3 to 3, 0 none)");
        cmd.add_option("--house-curve", args_.houseCurve,
                       "House curve file of \"frequency dB\" lines shaping the target; none "
                       "drops the document's");
        auto* boost = cmd.add_option("--max-boost", args_.maxBoost,
                                     "Largest boost of the correction in dB (0 to 6, default 6)");
        cmd.add_flag("--cuts-only", args_.cutsOnly, "Cuts only: a largest boost of 0 dB")
            ->excludes(boost);
        cmd.add_option("--eq-upper", args_.eqUpper,
                       "Upper end of the corrected band in Hz (40 to 250; default the fit's)");
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
