#pragma once
// The window program's side of the environment: the devices of its Measure and Quick Measure
// (real USB, microphone and driver check, or the simulated scene the command line also uses),
// with the user's choice of microphone and the calibration the last measurement used.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/AppOptions.h"
#include "environment/Environment.h"
#include "threading/Prompt.h"
#include "wizard/MeasureStep.h"

class AppSession {
public:
    // environment must outlive the session.
    explicit AppSession(Env::Environment& environment);
    // A session of its own environment over backends (none: a simulation only); raises as
    // Env::Environment does. The USB trace goes to stderr.
    explicit AppSession(const AppOptions& options, Env::Backends backends = {});
    ~AppSession();
    AppSession(const AppSession&) = delete;
    AppSession& operator=(const AppSession&) = delete;

    // The Measure step's devices (USB, recorders, driver check, calibration folder and, in a
    // simulation, the microphone's serial number). Dialog factories are the window's to add.
    MeasureEnvironment Measure() const;
    // The prompt the wizard's boxes go through: in a simulation an OK to a position prompt
    // moves the simulated microphone; otherwise inner itself.
    std::unique_ptr<Threading::IPrompt> WrapPrompt(Threading::IPrompt& inner) const {
        return environment_.WrapPrompt(inner);
    }
    bool Simulated() const { return environment_.Simulated(); }
    // The subwoofers' histories; empty: none is kept.
    std::filesystem::path HistoryDir() const { return environment_.HistoryDir(); }
    // The quick measurement's devices: those of Measure(), with the simulated microphone's
    // blocks timed by pace (null: real time, as a real microphone delivers them).
    MeasureEnvironment QuickMeasure(Threading::IClock* pace = nullptr) const;
    // The simulated microphone's position (0-based); nothing happens outside a simulation.
    void MoveMicrophone(int position) const { environment_.MoveMicrophone(position); }
    int MicrophonePosition() const { return environment_.MicrophonePosition(); }
    // The user's recording device and text calibration, read by every later Measure.
    MicrophoneChoice& Microphone() { return *microphone_; }
    // The calibration the last Measure used (set on its worker thread; nothing before one).
    std::optional<CalibrationUsed> LastCalibration() const;
    // The names of the recording devices present (none when they cannot be listed).
    std::vector<std::wstring> RecordingDevices() const { return environment_.RecordingDevices(); }
    // Saves the simulated subwoofer to its state file (after each step that talks to it, and at
    // the end); raises the failure.
    void Finish() { environment_.Finish(); }

private:
    std::unique_ptr<Env::Environment> own_;
    Env::Environment& environment_;
    std::shared_ptr<MicrophoneChoice> microphone_ = std::make_shared<MicrophoneChoice>();
    struct UsedCalibration {
        std::mutex lock;
        std::optional<CalibrationUsed> used;
    };
    std::shared_ptr<UsedCalibration> lastCalibration_ = std::make_shared<UsedCalibration>();
};
