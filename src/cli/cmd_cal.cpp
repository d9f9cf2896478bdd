// tessaline-cli cal: microphone calibration files (list, show, correction) and the recording
// devices a microphone can be chosen from.

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/Cli.h"
#include "cli/UsbSession.h"
#include "measure/CorrectionManager.h"
#include "measure/Secure.h"
#include "measure/SecurityTexts.h"
#include "measure/TextCalibration.h"
#include "threading/Errors.h"

namespace cli::cal_command {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

struct CalArgs {
    std::string path;
    std::string dir;
    int32_t unitSerial = 0;
    bool text = false;
};

// The microphone serial is read from the file's name, so a name without one is refused early.
Security::CalibrationFile ReadNamed(const CalArgs& args) {
    const std::filesystem::path path(args.path);
    const std::wstring name = path.filename().wstring();
    if (!Security::ParseCalibrationFileName(name) || !name.ends_with(L"Corvana.cal"))
        throw cli::CliFailure("'" + args.path +
                              "': the microphone serial is read from the file name, which must "
                              "be <serial>Corvana.cal (for example 1234Corvana.cal)");
    return Security::ReadCalibrationFile(path, args.unitSerial);
}

void Show(const CalArgs& args) {
    const auto file = ReadNamed(args);
    nlohmann::ordered_json points = nlohmann::ordered_json::array();
    const CCurve& c = *file.curve;
    for (int i = 0; i < c.Count(); ++i)
        points.push_back({c.X()[i], c.First()[i], c.Second()[i]});
    cli::PrintLine(nlohmann::ordered_json{
        {"version", file.version},
        {"mic_serial", file.micSerial},
        {"unit_serial", file.unitSerial},
        {"points",
         points}}.dump());
}

void Correction(const CalArgs& args) {
    CorrectionManagerPtr manager;
    if (args.text) {
        manager = MakeTextCorrection(*Security::ReadTextCalibration(args.path).curve);
    } else {
        const auto file = ReadNamed(args);
        manager = MakeCorrection(*file.curve, file.version);
    }
    if (!manager)
        throw tsl::wruntime_error(Security::kInvalidVersionText);
    CCurve& k = *manager->Correction();
    ToDbPhase(k);
    cli::PrintLine("frequency_hz,level_db,phase_rad");
    for (int i = 0; i < k.Count(); ++i)
        cli::PrintLine(Number(k.X()[i]) + "," + Number(k.First()[i]) + "," + Number(k.Second()[i]));
}

void Devices(const cli::GlobalOptions& globals) {
    const auto factory = globals.session->Recorders();
    const AudioSampler::EnumeratorPtr enumerator = factory ? factory() : nullptr;
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    if (enumerator)
        for (const std::wstring& name : enumerator->DeviceNames())
            out.push_back(tsl::ToUtf8(name));
    cli::PrintLine(out.dump());
}

void List(const CalArgs& args) {
    Security::Secure registry(
        args.dir.empty() ? Security::DefaultCalibrationDir() : std::filesystem::path(args.dir),
        nullptr);
    registry.ScanCalibrationFiles();
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const auto& entry : registry.Entries())
        out.push_back({{"mic_serial", entry.micSerial},
                       {"unit_serial", entry.unitSerial},
                       {"file", tsl::ToUtf8(entry.fileName)}});
    cli::PrintLine(out.dump());
}

Command Make() {
    return {
        "cal", [](CLI::App& app, cli::GlobalOptions& globals) {
            auto args = std::make_shared<CalArgs>();
            auto* cal = app.add_subcommand("cal", "Microphone calibration files");
            cal->require_subcommand(1);

            auto* show = cal->add_subcommand("show", "Print a calibration file's contents as JSON");
            show->add_option("file", args->path, "Calibration file (<serial>Corvana.cal)")
                ->required();
            show->add_option("--unit-serial", args->unitSerial, "Unit serial the file is bound to");
            show->callback([args] { Show(*args); });

            auto* corr = cal->add_subcommand(
                "correction", "Print the microphone correction built from a file as CSV");
            corr->add_option("file", args->path, "Calibration file (<serial>Corvana.cal)")
                ->required();
            corr->add_option("--unit-serial", args->unitSerial, "Unit serial the file is bound to");
            corr->add_flag("--text", args->text,
                           "A plain-text calibration file (lines of frequency dB [phase])");
            corr->callback([args] { Correction(*args); });

            auto* list =
                cal->add_subcommand("list", "List the calibration files of a folder as JSON");
            list->add_option("--cal-dir", args->dir,
                             "Calibration folder (default: $TESSALINE_CAL_DIR, else the program's "
                             "folder)");
            list->callback([args] { List(*args); });

            auto* devices = cal->add_subcommand(
                "devices", "List the recording devices a microphone can be chosen from (JSON)");
            devices->callback([&globals] { Devices(globals); });
        }};
}

}  // namespace cli::cal_command
