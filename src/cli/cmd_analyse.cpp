// tessaline-cli analyse: the frequency response of a recorded capture of the test sweep.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Analyse.h"
#include "cli/Command.h"

namespace cli::analyse_command {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

void Print(std::ostream& out, const std::vector<cli::ResponsePoint>& points, bool json) {
    if (json) {
        nlohmann::json rows = nlohmann::json::array();
        for (const cli::ResponsePoint& p : points)
            rows.push_back({p.frequencyHz, p.levelDb, p.phaseRad});
        cli::PrintLine(out, nlohmann::json{{"points", rows}}.dump());
        return;
    }
    cli::PrintLine(out, "frequency_hz,level_db,phase_rad");
    for (const cli::ResponsePoint& p : points)
        cli::PrintLine(out,
                       Number(p.frequencyHz) + "," + Number(p.levelDb) + "," + Number(p.phaseRad));
}

struct AnalyseArgs {
    std::string path;
    std::string band = "20:350";
    bool quick = false;
    bool noSmooth = false;
    bool json = false;
    std::string cal;
    std::int32_t unitSerial = 0;
};

class AnalyseCommand final : public Command {
public:
    std::string Name() const override { return "analyse"; }
    std::string Description() const override {
        return "Frequency response of a mono 48 kHz capture of the repeating test sweep";
    }
    void AddOptions(CLI::App& cmd) override {
        cmd.add_option("capture", args_.path, "Capture WAV file (three sweep periods)")->required();
        cmd.add_flag("--quick", args_.quick,
                     "Quick measurement of the first two periods, without checks");
        cmd.add_option("--band", args_.band, "Analysis band LO:HI in Hz (default 20:350)");
        cmd.add_flag("--no-smooth", args_.noSmooth, "Skip the 1/6-octave smoothing");
        cmd.add_flag("--json", args_.json, "Print {\"points\": [[f, db, phase], ...]}");
        cmd.add_option("--cal", args_.cal, "Microphone calibration file to correct the response");
        cmd.add_option("--unit-serial", args_.unitSerial,
                       "Unit serial number the calibration file belongs to (default 0)");
    }
    void Run(const Context& context) override {
        cli::AnalyseOptions options;
        options.quick = args_.quick;
        options.smooth = !args_.noSmooth;
        options.calibrationFile = args_.cal;
        options.unitSerial = args_.unitSerial;
        cli::ParseBand(args_.band, options);
        Print(context.io.out, cli::AnalyseCapture(args_.path, options), args_.json);
    }

private:
    AnalyseArgs args_;
};

std::unique_ptr<Command> Make() {
    return std::make_unique<AnalyseCommand>();
}

}  // namespace cli::analyse_command
