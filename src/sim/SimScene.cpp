#include "sim/SimScene.h"

#include <optional>

#include "sim/SimRoom.h"
#include "sim/SimState.h"
#include "threading/Errors.h"
#include "threading/ProgramPaths.h"

namespace Sim {

namespace {
// How long a wait lets the simulated subwoofer's threads answer in real time before virtual time
// jumps to its deadline: long enough for a loaded machine or a sanitizer build.
constexpr std::chrono::milliseconds kSimulatedGrace{50};
}  // namespace

SimScene::SimScene(SceneOptions options) : options_(std::move(options)) {
    if (options_.clock == nullptr)
        ownClock_ = std::make_unique<Threading::VirtualClock>(kSimulatedGrace);
    clock_ = options_.clock ? options_.clock : ownClock_.get();
    if (options_.calibrationDir.empty())
        options_.calibrationDir = DefaultCalibrationDir();

    SimOptions device;
    device.modelId = options_.modelId;
    device.faults = options_.faults;
    std::optional<SimState> state;
    if (!options_.stateFile.empty())
        state = LoadState(options_.stateFile.string());
    if (state) {
        device.modelId = state->modelId;
        device.mode = state->mode;
    }
    device_ = std::make_shared<SimDevice>(device);
    if (state)
        device_->With([&](SimFirmware& f) {
            ApplyState(*state, f);
            return 0;
        });
    // Pipe reads are woken by data, so the real clock bounds them without slowing anything.
    bus_ = std::make_shared<SimBus>();
    bus_->Add(device_);
}

SimScene::~SimScene() = default;

CUsbController::UsbEnvironment SimScene::Usb(CUsbController::UsbTraceSink trace) const {
    return {bus_, clock_, std::move(trace)};
}

void SimScene::UseRoom(const std::filesystem::path& roomFile,
                       const std::filesystem::path& calibrationDir) {
    if (!roomFile.empty())
        options_.roomFile = roomFile;
    if (!calibrationDir.empty())
        options_.calibrationDir = calibrationDir;
}

const std::shared_ptr<SimAcoustics>& SimScene::Acoustics() {
    if (!acoustics_) {
        SimRoom room(options_.roomFile.empty() ? DefaultRoom()
                                               : LoadRoom(options_.roomFile.string()));
        SimMicrophone microphone;
        microphone.WriteCalibrationFile(options_.calibrationDir);
        acoustics_ = std::make_shared<SimAcoustics>(device_, std::move(room), std::move(microphone),
                                                    *clock_);
    }
    return acoustics_;
}

AudioSampler::EnumeratorFactory SimScene::Recorders(Threading::IClock* pace) {
    return Acoustics()->EnumeratorFactory(pace);
}

int32_t SimScene::MicrophoneSerial() const {
    return static_cast<int32_t>(SimMicrophone().Options().serial);
}

std::unique_ptr<Threading::IPrompt> SimScene::PositionPrompt(Threading::IPrompt& inner) {
    return std::make_unique<SimPositionPrompt>(inner, Acoustics());
}

void SimScene::SaveState() const {
    if (options_.stateFile.empty())
        return;
    auto state = device_->With([](SimFirmware& f) { return CaptureState(f); });
    Sim::SaveState(state, options_.stateFile.string());
}

std::filesystem::path SimScene::DefaultCalibrationDir() {
    return Threading::UserTemporaryFolder("tessaline-sim-microphone");
}

}  // namespace Sim
