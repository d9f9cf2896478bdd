#pragma once
// The devices the window program runs against: real USB, the PortAudio microphone and the
// platform's driver check, or the simulated subwoofer, room and microphone of the scene that the
// command line also uses.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/AppOptions.h"
#include "threading/Prompt.h"
#include "wizard/MeasureStep.h"

namespace Sim {
class SimScene;
class StateFileLock;
}  // namespace Sim

class AppSession {
public:
    // Raises tsl::wruntime_error for bad option values, an unreadable simulation file or a
    // simulation state that another program holds (the state stays locked while this lives).
    explicit AppSession(const AppOptions& options);
    ~AppSession();
    AppSession(const AppSession&) = delete;
    AppSession& operator=(const AppSession&) = delete;

    // The Measure step's devices (USB, recorders, driver check, calibration folder and, in a
    // simulation, the microphone's serial number). Dialog factories are the window's to add.
    MeasureEnvironment Measure() const;
    // The prompt the wizard's boxes go through: in a simulation an OK to a position prompt
    // moves the simulated microphone; otherwise inner itself.
    std::unique_ptr<Threading::IPrompt> WrapPrompt(Threading::IPrompt& inner) const;
    bool Simulated() const { return scene_ != nullptr; }
    // The quick measurement's devices: those of Measure(), with the simulated microphone's
    // blocks timed by pace (null: real time, as a real microphone delivers them).
    MeasureEnvironment QuickMeasure(Threading::IClock* pace = nullptr) const;
    // The simulated microphone's position (0-based); nothing happens outside a simulation.
    void MoveMicrophone(int position) const;
    int MicrophonePosition() const;
    // The user's recording device and text calibration, read by every later Measure.
    MicrophoneChoice& Microphone() { return *microphone_; }
    // The calibration the last Measure used (set on its worker thread; nothing before one).
    std::optional<CalibrationUsed> LastCalibration() const;
    // The names of the recording devices present (none when they cannot be listed).
    std::vector<std::wstring> RecordingDevices() const;
    // Saves the simulated subwoofer to its state file (after each step that talks to it, and at
    // the end); raises the failure.
    void Finish();

private:
    std::unique_ptr<Sim::StateFileLock> stateLock_;  // outlives the scene
    std::unique_ptr<Sim::SimScene> scene_;
    std::shared_ptr<CUsbController::IUsbBus> bus_;
    std::shared_ptr<MicrophoneChoice> microphone_ = std::make_shared<MicrophoneChoice>();
    struct UsedCalibration {
        std::mutex lock;
        std::optional<CalibrationUsed> used;
    };
    std::shared_ptr<UsedCalibration> lastCalibration_ = std::make_shared<UsedCalibration>();
};
