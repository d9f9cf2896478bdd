#include "cli/MeasureSession.h"

#include <ostream>

#include "cli/ConsoleDialog.h"
#include "measure/Secure.h"
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

MeasureSession::MeasureSession(const MeasureArgs& args, const Context& context)
    : args_(args),
      out_(args.out),
      micSerial_(args.micSerial),
      context_(context),
      console_(context.io.in, context.io.err, context.io.inTerminal,
               args.yes  ? Threading::PresetAnswer::Yes
               : args.no ? Threading::PresetAnswer::No
                         : Threading::PresetAnswer::None,
               context.io.interrupts),
      prompt_(&console_) {
    Env::Environment& environment = context.environment;
    environment.UseCalibrationDir(args.calDir);
    if (!micSerial_)
        micSerial_ = environment.MicrophoneSerial();
    simulated_ = environment.Simulated();
    if (!simulated_)
        return;
    simPrompt_ = environment.WrapPrompt(console_);
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

MeasureEnvironment MeasureSession::Environment() {
    MeasureEnvironment env = context_.environment.Measure();
    env.micSerial = micSerial_;
    env.microphone = std::make_shared<MicrophoneChoice>(
        MicrophoneChoice{tsl::FromUtf8(args_.micDevice), args_.micCal});
    // The calibration used goes to stderr with the progress; stdout keeps the result only.
    // Reported from the step's thread: one write, which the stream's buffer takes whole.
    std::ostream& err = context_.io.err;
    env.calibrationUsed = [&err](const CalibrationUsed& used) {
        const std::string line =
            std::string("Calibration: ") +
            (used.kind == CalibrationKind::TextFile ? "text file " : "enciphered file ") +
            used.file.string() + '\n';
        err.write(line.data(), static_cast<std::streamsize>(line.size()));
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
    environment.bridge = &context_.bridge;
    environment.steps = std::move(steps);
    environment.makeDialog = ConsoleDialogFactory(
        *prompt_, context_.io.err, context_.io.errTerminal, Threading::RealClock::Instance(),
        &console_.TerminalLock(), !args_.yes && !args_.no && context_.io.inTerminal,
        context_.io.interrupts);
    return environment;
}

}  // namespace cli
