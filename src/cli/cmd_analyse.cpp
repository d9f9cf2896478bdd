// tessaline-cli analyse: the frequency response of a recorded capture of the test sweep.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/Analyse.h"
#include "cli/Cli.h"

namespace cli::analyse_command {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

void Print(const std::vector<cli::ResponsePoint>& points, bool json) {
    if (json) {
        nlohmann::json rows = nlohmann::json::array();
        for (const cli::ResponsePoint& p : points)
            rows.push_back({p.frequencyHz, p.levelDb, p.phaseRad});
        cli::PrintLine(nlohmann::json{{"points", rows}}.dump());
        return;
    }
    cli::PrintLine("frequency_hz,level_db,phase_rad");
    for (const cli::ResponsePoint& p : points)
        cli::PrintLine(Number(p.frequencyHz) + "," + Number(p.levelDb) + "," + Number(p.phaseRad));
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

Command Make() {
    return {"analyse", [](CLI::App& app, cli::GlobalOptions&) {
                auto args = std::make_shared<AnalyseArgs>();
                auto* cmd = app.add_subcommand(
                    "analyse",
                    "Frequency response of a mono 48 kHz capture of the repeating test sweep");
                cmd->add_option("capture", args->path, "Capture WAV file (three sweep periods)")
                    ->required();
                cmd->add_flag("--quick", args->quick,
                              "Quick measurement of the first two periods, without checks");
                cmd->add_option("--band", args->band, "Analysis band LO:HI in Hz (default 20:350)");
                cmd->add_flag("--no-smooth", args->noSmooth, "Skip the 1/6-octave smoothing");
                cmd->add_flag("--json", args->json, "Print {\"points\": [[f, db, phase], ...]}");
                cmd->add_option("--cal", args->cal,
                                "Microphone calibration file to correct the response");
                cmd->add_option("--unit-serial", args->unitSerial,
                                "Unit serial number the calibration file belongs to (default 0)");
                cmd->callback([args] {
                    cli::AnalyseOptions options;
                    options.quick = args->quick;
                    options.smooth = !args->noSmooth;
                    options.calibrationFile = args->cal;
                    options.unitSerial = args->unitSerial;
                    cli::ParseBand(args->band, options);
                    Print(cli::AnalyseCapture(args->path, options), args->json);
                });
            }};
}

}  // namespace cli::analyse_command
