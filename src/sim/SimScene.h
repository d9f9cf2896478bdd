#pragma once
// The simulated scene every front-end runs against in simulation mode: one simulated subwoofer
// on its own bus (with its faults and its state file), and on demand the room and the
// microphone around it with the microphone's calibration file.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "measure/AudioRec.h"
#include "sim/SimBus.h"
#include "sim/SimFaults.h"
#include "sim/SimMicrophone.h"
#include "sublink/UsbEnvironment.h"
#include "threading/Clock.h"
#include "threading/Prompt.h"

namespace Sim {

struct SceneOptions {
    uint16_t modelId = 275;
    std::vector<Fault> faults;
    // Loaded when it exists (its model and program win over modelId) and written by SaveState.
    std::filesystem::path stateFile;
    // JSON room description; empty: the built-in room.
    std::filesystem::path roomFile;
    // Where the microphone's calibration file is written; empty: a folder of this user's own
    // below the temporary folder.
    std::filesystem::path calibrationDir;
    // The clock of the subwoofer's and the microphone's waits; null: a virtual clock of the
    // scene's own, so that nothing waits in real time.
    Threading::IClock* clock = nullptr;
};

class SimScene {
public:
    // Raises tsl::wruntime_error for a state file that cannot be read.
    explicit SimScene(SceneOptions options);
    ~SimScene();
    SimScene(const SimScene&) = delete;
    SimScene& operator=(const SimScene&) = delete;

    Threading::IClock& Clock() const { return *clock_; }
    const std::shared_ptr<SimBus>& Bus() const { return bus_; }
    const std::shared_ptr<SimDevice>& Device() const { return device_; }
    // Channels on the simulated bus and the scene's clock.
    CUsbController::UsbEnvironment Usb(CUsbController::UsbTraceSink trace = {}) const;

    // Before the room and microphone are built: another room file and calibration folder (empty
    // values keep the scene's).
    void UseRoom(const std::filesystem::path& roomFile,
                 const std::filesystem::path& calibrationDir);
    // The room and microphone; built at the first call, which loads the room file and writes
    // the calibration file (and raises their errors).
    const std::shared_ptr<SimAcoustics>& Acoustics();
    // pace (null: the scene's clock) times the microphone's blocks.
    AudioSampler::EnumeratorFactory Recorders(Threading::IClock* pace = nullptr);
    const std::filesystem::path& CalibrationDir() const { return options_.calibrationDir; }
    int32_t MicrophoneSerial() const;
    // A prompt that moves the simulated microphone when a position prompt is answered with OK.
    std::unique_ptr<Threading::IPrompt> PositionPrompt(Threading::IPrompt& inner);

    // Writes the subwoofer's state to the state file (nothing without one); raises
    // tsl::wruntime_error naming the file when it cannot be written.
    void SaveState() const;

    // This user's folder for the simulated microphone's calibration file.
    static std::filesystem::path DefaultCalibrationDir();

private:
    SceneOptions options_;
    std::unique_ptr<Threading::VirtualClock> ownClock_;
    Threading::IClock* clock_;
    std::shared_ptr<SimBus> bus_;
    std::shared_ptr<SimDevice> device_;
    std::shared_ptr<SimAcoustics> acoustics_;
};

}  // namespace Sim
