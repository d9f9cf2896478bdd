#include "cli/MeasureSession.h"

#include <unistd.h>

#include <iostream>

#include "measure/Secure.h"
#include "sim/SimBus.h"
#include "sim/SimMicrophone.h"
#include "sim/SimRoom.h"
#include "sublink/UsbEnvironment.h"
#include "threading/Errors.h"
#include "wizard/ConsoleDialog.h"

namespace cli {

void AddMeasureOptions(CLI::App& command, MeasureArgs& args) {
    // Global options (--simulate, --sim-state...) may also follow the command name.
    command.fallthrough();
    command.add_option("--out", args.out, "The measurement document to write")->required();
    command
        .add_option("--positions", args.positions,
                    "Number of microphone positions (5 to 10); asked when not given")
        ->check(CLI::Range(kMinPositions, kMaxPositions));
    command.add_option("--mic-serial", args.micSerial,
                       "Use the calibration file of this microphone instead of choosing one");
    command.add_option("--cal-dir", args.calDir,
                       "Folder of the calibration files (default: TESSALINE_CAL_DIR or the "
                       "program's folder; a temporary folder in a simulation)");
    command.add_flag("--yes", args.yes, "Answer every prompt with its first button (OK)");
    command.add_option("--sim-room", args.simRoom,
                       "JSON description of the simulated room (with --simulate)");
}

MeasureSession::MeasureSession(const MeasureArgs& args, const GlobalOptions& globals)
    : args_(args),
      out_(args.out),
      micSerial_(args.micSerial),
      console_(Threading::ConsolePrompt::Standard(args.yes ? Threading::PresetAnswer::Yes
                                                           : Threading::PresetAnswer::None)),
      prompt_(&console_) {
    if (!args.calDir.empty())
        calDir_ = args.calDir;
    if (!globals.simulate && args.simRoom.empty())
        return;
    auto bus = std::dynamic_pointer_cast<Sim::SimBus>(CUsbController::DefaultUsbBus());
    if (!bus || bus->Devices().empty())
        throw CliFailure("--sim-room needs the simulated subwoofer: add --simulate");
    Sim::SimRoom room(args.simRoom.empty() ? Sim::DefaultRoom() : Sim::LoadRoom(args.simRoom));
    Sim::SimMicrophone microphone;
    if (calDir_.empty())
        calDir_ = std::filesystem::temp_directory_path() / "tessaline-sim-microphone";
    microphone.WriteCalibrationFile(calDir_);
    if (!micSerial_)
        micSerial_ = static_cast<int32_t>(microphone.Options().serial);
    acoustics_ = std::make_shared<Sim::SimAcoustics>(bus->Devices().front(), std::move(room),
                                                     std::move(microphone),
                                                     CUsbController::DefaultUsbClock());
    simPrompt_ = std::make_unique<Sim::SimPositionPrompt>(console_, acoustics_);
    prompt_ = simPrompt_.get();
}

MeasureSession::~MeasureSession() = default;

MeasureEnvironment MeasureSession::Environment() const {
    MeasureEnvironment env;
    env.calibrationDir = calDir_;
    env.micSerial = micSerial_;
    if (args_.positions)
        env.preMeasurement = PromptPreMeasurementDialog(*args_.positions);
    if (acoustics_) {
        env.recorders = acoustics_->EnumeratorFactory();
        // The simulated subwoofer needs no USB driver.
        env.deviceCheck.driver.isLoaded = [] { return true; };
    }
    return env;
}

WizardEnvironment MeasureSession::Wizard(WizardStepTable steps) {
    WizardEnvironment environment;
    environment.steps = std::move(steps);
    environment.makeDialog =
        ConsoleDialogFactory(*prompt_, std::cerr, ::isatty(2) != 0,
                             Threading::RealClock::Instance(), &console_.TerminalLock());
    return environment;
}

}  // namespace cli
