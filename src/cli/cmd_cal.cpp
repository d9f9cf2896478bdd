// tessaline-cli cal: microphone calibration files (list, show, correction) and the recording
// devices a microphone can be chosen from.

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

#include "cli/Command.h"
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

void Show(std::ostream& out, const CalArgs& args) {
    const auto file = ReadNamed(args);
    nlohmann::ordered_json points = nlohmann::ordered_json::array();
    const CCurve& c = *file.curve;
    for (int i = 0; i < c.Count(); ++i)
        points.push_back({c.X()[i], c.First()[i], c.Second()[i]});
    cli::PrintLine(out, nlohmann::ordered_json{{"version", file.version},
                                               {"mic_serial", file.micSerial},
                                               {"unit_serial", file.unitSerial},
                                               {"points", points}}
                            .dump());
}

void Correction(std::ostream& out, const CalArgs& args) {
    CorrectionManagerPtr manager;
    if (args.text) {
        manager = MakeTextCorrection(*Security::ReadTextCalibration(args.path).curve);
    } else {
        const auto file = ReadNamed(args);
        manager = MakeCorrection(*file.curve, file.version);
    }
    if (!manager)
        throw tsl::wruntime_error(Security::kInvalidVersionText);
    CCurve k = *manager->Correction();
    ToDbPhase(k);
    cli::PrintLine(out, "frequency_hz,level_db,phase_rad");
    for (int i = 0; i < k.Count(); ++i)
        cli::PrintLine(out,
                       Number(k.X()[i]) + "," + Number(k.First()[i]) + "," + Number(k.Second()[i]));
}

void Devices(const Context& context) {
    const auto factory = context.environment.Recorders();
    const AudioSampler::EnumeratorPtr enumerator = factory ? factory() : nullptr;
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    if (enumerator)
        for (const std::wstring& name : enumerator->DeviceNames())
            out.push_back(tsl::ToUtf8(name));
    cli::PrintLine(context.io.out, out.dump());
}

void List(std::ostream& stream, const std::filesystem::path& dir) {
    Security::Secure registry(dir, nullptr);
    registry.ScanCalibrationFiles();
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const auto& entry : registry.Entries())
        out.push_back({{"mic_serial", entry.micSerial},
                       {"unit_serial", entry.unitSerial},
                       {"file", tsl::ToUtf8(entry.fileName)}});
    cli::PrintLine(stream, out.dump());
}

class CalCommand final : public Command {
public:
    std::string Name() const override { return "cal"; }
    std::string Description() const override { return "Microphone calibration files"; }
    void AddOptions(CLI::App& cal) override {
        cal.require_subcommand(1);
        show_ = cal.add_subcommand("show", "Print a calibration file's contents as JSON");
        show_->add_option("file", args_.path, "Calibration file (<serial>Corvana.cal)")->required();
        show_->add_option("--unit-serial", args_.unitSerial, "Unit serial the file is bound to");

        correction_ = cal.add_subcommand(
            "correction", "Print the microphone correction built from a file as CSV");
        correction_->add_option("file", args_.path, "Calibration file (<serial>Corvana.cal)")
            ->required();
        correction_->add_option("--unit-serial", args_.unitSerial,
                                "Unit serial the file is bound to");
        correction_->add_flag("--text", args_.text,
                              "A plain-text calibration file (lines of frequency dB [phase])");

        list_ = cal.add_subcommand("list", "List the calibration files of a folder as JSON");
        list_->add_option("--cal-dir", args_.dir,
                          "Calibration folder (default: $TESSALINE_CAL_DIR, else the program's "
                          "folder)");

        devices_ = cal.add_subcommand(
            "devices", "List the recording devices a microphone can be chosen from (JSON)");
    }
    void Run(const Context& context) override {
        std::ostream& out = context.io.out;
        if (show_->parsed())
            Show(out, args_);
        else if (correction_->parsed())
            Correction(out, args_);
        else if (list_->parsed())
            List(out, args_.dir.empty() ? context.environment.DeviceCalibrationDir()
                                        : std::filesystem::path(args_.dir));
        else if (devices_->parsed())
            Devices(context);
    }

private:
    CalArgs args_;
    CLI::App* show_ = nullptr;
    CLI::App* correction_ = nullptr;
    CLI::App* list_ = nullptr;
    CLI::App* devices_ = nullptr;
};

std::unique_ptr<Command> Make() {
    return std::make_unique<CalCommand>();
}

}  // namespace cli::cal_command
