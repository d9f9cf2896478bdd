#include "cli/MeasureSession.h"

#include <unistd.h>

#include <iostream>

#include "cli/ConsoleDialog.h"
#include "cli/UsbSession.h"
#include "measure/Secure.h"
#include "sim/SimScene.h"
#include "threading/Errors.h"

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
      globals_(globals),
      console_(Threading::ConsolePrompt::Standard(args.yes ? Threading::PresetAnswer::Yes
                                                           : Threading::PresetAnswer::None)),
      prompt_(&console_) {
    if (!args.calDir.empty())
        calDir_ = args.calDir;
    Sim::SimScene* scene = globals.session->Scene();
    if (scene == nullptr) {
        if (!args.simRoom.empty())
            throw CliFailure("--sim-room needs the simulated subwoofer: add --simulate");
        return;
    }
    simulated_ = true;
    scene->UseRoom(args.simRoom, calDir_);
    if (calDir_.empty())
        calDir_ = scene->CalibrationDir();
    if (!micSerial_)
        micSerial_ = scene->MicrophoneSerial();
    simPrompt_ = scene->PositionPrompt(console_);
    prompt_ = simPrompt_.get();
}

MeasureSession::~MeasureSession() = default;

MeasureEnvironment MeasureSession::Environment() const {
    MeasureEnvironment env;
    env.usb = globals_.session->Usb();
    env.recorders = globals_.session->Recorders();
    env.deviceCheck.driver = globals_.session->Driver();
    env.calibrationDir = calDir_;
    env.micSerial = micSerial_;
    if (args_.positions)
        env.preMeasurement = PromptPreMeasurementDialog(*args_.positions);
    return env;
}

WizardEnvironment MeasureSession::Wizard(WizardStepTable steps) {
    WizardEnvironment environment;
    environment.bridge = &globals_.session->Bridge();
    environment.steps = std::move(steps);
    environment.makeDialog =
        ConsoleDialogFactory(*prompt_, std::cerr, ::isatty(2) != 0,
                             Threading::RealClock::Instance(), &console_.TerminalLock());
    return environment;
}

}  // namespace cli
