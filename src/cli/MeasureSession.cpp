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
                    "Number of microphone positions (" + std::to_string(args.minPositions) +
                        " to 10); asked when not given")
        ->check(CLI::Range(args.minPositions, kMaxPositions));
    command.add_option("--mic-serial", args.micSerial,
                       "Use the calibration file of this microphone instead of choosing one");
    command.add_option("--cal-dir", args.calDir,
                       "Folder of the calibration files (default: TESSALINE_CAL_DIR or the "
                       "program's folder; a temporary folder in a simulation)");
    command.add_option("--mic-device", args.micDevice,
                       "Record from this device (any recording device whose name contains "
                       "NAME; see cal devices) instead of the accepted microphones");
    command.add_option("--mic-cal", args.micCal,
                       "A plain-text calibration file (lines of frequency dB [phase], '*' or "
                       "'\"' comments, optional Sens Factor =xdB) as the microphone correction");
    auto* yes =
        command.add_flag("--yes", args.yes, "Answer every prompt with its first button (OK)");
    command.add_flag("--no", args.no, "Decline every question (Cancel, No)")->excludes(yes);
}

MeasureSession::MeasureSession(const MeasureArgs& args, const GlobalOptions& globals)
    : args_(args),
      out_(args.out),
      micSerial_(args.micSerial),
      globals_(globals),
      console_(Threading::ConsolePrompt::Standard(args.yes  ? Threading::PresetAnswer::Yes
                                                  : args.no ? Threading::PresetAnswer::No
                                                            : Threading::PresetAnswer::None)),
      prompt_(&console_) {
    if (!args.calDir.empty())
        calDir_ = args.calDir;
    Sim::SimScene* scene = globals.session->Scene();
    if (scene == nullptr)
        return;
    simulated_ = true;
    scene->UseRoom(globals.simRoom, calDir_);
    if (calDir_.empty())
        calDir_ = scene->CalibrationDir();
    if (!micSerial_)
        micSerial_ = scene->MicrophoneSerial();
    simPrompt_ = scene->PositionPrompt(console_);
    prompt_ = simPrompt_.get();
}

MeasureSession::~MeasureSession() = default;

void ChainStopped(const ConsoleMainView& view, const std::filesystem::path& out) {
    if (view.SaveFailure())
        std::rethrow_exception(view.SaveFailure());
    std::wstring text =
        view.Aborted() ? L"Aborted (Ctrl-C) during the " + view.Step() + L" step." : view.Failure();
    const std::wstring file = L"\"" + tsl::FromUtf8(out.string()) + L"\"";
    const auto& saved = view.SavedSteps();
    if (saved.empty()) {
        text += L"\nNothing was written to " + file + L".";
    } else {
        std::wstring steps;
        for (size_t i = 0; i < saved.size(); ++i)
            steps += (i == 0 ? L"" : i + 1 == saved.size() ? L" and " : L", ") + saved[i];
        text += L"\n" + file + L" holds the results of the " + steps + L" step" +
                (saved.size() > 1 ? L"s." : L".");
    }
    throw tsl::wruntime_error(text);
}

MeasureEnvironment MeasureSession::Environment() const {
    MeasureEnvironment env;
    env.usb = globals_.session->Usb();
    env.recorders = globals_.session->Recorders();
    env.deviceCheck.driver = globals_.session->Driver();
    env.calibrationDir = calDir_;
    env.micSerial = micSerial_;
    env.microphone = std::make_shared<MicrophoneChoice>(
        MicrophoneChoice{tsl::FromUtf8(args_.micDevice), args_.micCal});
    // The calibration used goes to stderr with the progress; stdout keeps the result only.
    env.calibrationUsed = [](const CalibrationUsed& used) {
        std::cerr << "Calibration: "
                  << (used.kind == CalibrationKind::TextFile ? "text file " : "enciphered file ")
                  << used.file.string() << '\n';
    };
    env.minPositions = args_.minPositions;
    if (args_.positions) {
        env.preMeasurement = PromptPreMeasurementDialog(*args_.positions);
    } else {
        // The count itself is typed, not its place in a list of counts.
        Threading::ConsolePrompt& console = console_;
        env.preMeasurement = [&console](IProcDialog&, CCustomizeMeasurementProcDlg& dialog) {
            const auto count =
                console.AskNumber(std::wstring(dialog.Text()) + L"\r\n\r\n" + kPositionCountCaption,
                                  dialog.MinCount(), kMaxPositions);
            if (!count)
                return false;
            dialog.SetPositionCount(static_cast<int32_t>(*count));
            return true;
        };
    }
    return env;
}

WizardEnvironment MeasureSession::Wizard(WizardStepTable steps) {
    WizardEnvironment environment;
    environment.bridge = &globals_.session->Bridge();
    environment.steps = std::move(steps);
    environment.makeDialog = ConsoleDialogFactory(
        *prompt_, std::cerr, ::isatty(2) != 0, Threading::RealClock::Instance(),
        &console_.TerminalLock(), !args_.yes && !args_.no && ::isatty(0) != 0);
    return environment;
}

}  // namespace cli
