#include "environment/Environment.h"

#include <cstdlib>
#include <mutex>
#include <ostream>

#include "measure/Secure.h"
#include "sim/SimScene.h"
#include "sim/SimState.h"
#include "threading/Errors.h"
#include "threading/ProgramPaths.h"

namespace Env {

namespace {

// Passes every box through to the inner prompt.
class PassThroughPrompt final : public Threading::IPrompt {
public:
    explicit PassThroughPrompt(Threading::IPrompt& inner) : inner_(inner) {}
    Threading::MsgResult MessageBox(const std::wstring& text, const std::wstring& caption,
                                    Threading::MsgButtons buttons,
                                    Threading::MsgIcon icon) override {
        return inner_.MessageBox(text, caption, buttons, icon);
    }
    std::optional<size_t> Choose(const std::wstring& prompt,
                                 const std::vector<std::wstring>& choices) override {
        return inner_.Choose(prompt, choices);
    }

private:
    Threading::IPrompt& inner_;
};

bool Simulation(const Options& o) {
    return o.simulate || !o.simState.empty() || !o.simFaults.empty() || !o.simRoom.empty();
}

std::unique_ptr<Sim::SimScene> MakeScene(const Options& o) {
    if (o.simModel < 0 || o.simModel > 0xFFFF)
        throw OptionError("--sim-model must be a model identifier from 0 to 65535: " +
                          std::to_string(o.simModel));
    Sim::SceneOptions scene;
    scene.modelId = static_cast<uint16_t>(o.simModel);
    for (const auto& text : o.simFaults) {
        auto fault = Sim::ParseFault(text);
        if (!fault)
            throw OptionError("Unknown or malformed simulated fault: " + text);
        scene.faults.push_back(*fault);
    }
    scene.stateFile = o.simState;
    scene.roomFile = o.simRoom;
    scene.calibrationDir = o.calibrationDir;
    return std::make_unique<Sim::SimScene>(std::move(scene));
}

}  // namespace

void ReadVariables(Options& options) {
    if (const char* ids = std::getenv("TESSALINE_USB_IDS"))
        options.usbIdsVariable = ids;
    if (const char* dir = std::getenv("TESSALINE_CAL_DIR"); dir && *dir)
        options.calibrationDirVariable = dir;
    const std::filesystem::path data = Threading::UserDataFolder(
        std::getenv("XDG_DATA_HOME"), std::getenv("HOME"), std::getenv("LOCALAPPDATA"));
    if (!data.empty())
        options.historyDirVariable = data / "tessaline" / "history";
}

std::vector<CUsbController::UsbId> UsbIds(const Options& options) {
    std::vector<CUsbController::UsbId> ids;
    for (const auto& text : options.usbIds) {
        auto id = CUsbController::ParseUsbId(text);
        if (!id)
            throw OptionError("--usb-id must be VVVV:PPPP in hexadecimal: " + text);
        ids.push_back(*id);
    }
    if (options.usbIdsVariable && !CUsbController::ParseUsbIdList(*options.usbIdsVariable, ids))
        throw OptionError("TESSALINE_USB_IDS must be VVVV:PPPP,...: " + *options.usbIdsVariable);
    return ids;
}

Environment::Environment(const Options& options, Backends backends, std::ostream& trace)
    : backends_(std::move(backends)),
      deviceCalibrationDir_(options.calibrationDir.empty() ? options.calibrationDirVariable
                                                           : options.calibrationDir),
      historyDir_(options.historyDir.empty() ? options.historyDirVariable : options.historyDir) {
    if (options.trace) {
        auto lock = std::make_shared<std::mutex>();
        std::ostream* to = &trace;
        trace_ = [lock, to](const std::string& line) {
            const std::string text = line + '\n';
            std::lock_guard<std::mutex> hold(*lock);
            to->write(text.data(), static_cast<std::streamsize>(text.size()));
        };
    }
    if (Simulation(options)) {
        if (!options.simState.empty())
            stateLock_ = std::make_unique<Sim::StateFileLock>(options.simState);
        scene_ = MakeScene(options);
        return;
    }
    calibrationDir_ = deviceCalibrationDir_;
    std::vector<CUsbController::UsbId> ids = UsbIds(options);
    if (!backends_.usbBus)
        throw tsl::wruntime_error(L"This build has no USB support; use --simulate");
    bus_ = backends_.usbBus(std::move(ids));
}

Environment::~Environment() = default;

CUsbController::UsbEnvironment Environment::Usb() const {
    if (scene_)
        return scene_->Usb(trace_);
    return {bus_, nullptr, trace_};
}

CUsbController::DriverSupport Environment::Driver() const {
    // The simulated subwoofer needs no USB driver.
    if (scene_ || !backends_.driver)
        return {};
    return backends_.driver();
}

AudioSampler::EnumeratorFactory Environment::Recorders(Threading::IClock* pace) const {
    if (scene_)
        return scene_->Recorders(pace);
    if (!backends_.recorders)
        throw tsl::wruntime_error(L"This build has no microphone support; use --simulate");
    return backends_.recorders;
}

std::vector<std::wstring> Environment::RecordingDevices() const {
    try {
        const AudioSampler::EnumeratorFactory factory = Recorders();
        if (const AudioSampler::EnumeratorPtr enumerator = factory ? factory() : nullptr)
            return enumerator->DeviceNames();
    } catch (const std::exception&) {  // no list: only the accepted microphones are offered
    }
    return {};
}

void Environment::UseCalibrationDir(const std::filesystem::path& dir) {
    if (dir.empty())
        return;
    if (scene_)
        scene_->UseRoom({}, dir);
    else
        calibrationDir_ = dir;
}

std::filesystem::path Environment::CalibrationDir() const {
    return scene_ ? scene_->CalibrationDir() : calibrationDir_;
}

std::filesystem::path Environment::DeviceCalibrationDir() const {
    return deviceCalibrationDir_.empty() ? Security::DefaultCalibrationDir()
                                         : deviceCalibrationDir_;
}

std::optional<int32_t> Environment::MicrophoneSerial() const {
    if (scene_)
        return scene_->MicrophoneSerial();
    return std::nullopt;
}

MeasureEnvironment Environment::Measure(Threading::IClock* pace) const {
    MeasureEnvironment env;
    env.usb = Usb();
    env.recorders = Recorders(pace);
    env.deviceCheck.driver = Driver();
    env.calibrationDir = CalibrationDir();
    env.micSerial = MicrophoneSerial();
    env.history.folder = historyDir_;
    return env;
}

std::unique_ptr<Threading::IPrompt> Environment::WrapPrompt(Threading::IPrompt& inner) const {
    if (scene_)
        return scene_->PositionPrompt(inner);
    return std::make_unique<PassThroughPrompt>(inner);
}

void Environment::MoveMicrophone(int position) const {
    if (scene_)
        scene_->Acoustics()->MoveTo(position);
}

int Environment::MicrophonePosition() const {
    return scene_ ? scene_->Acoustics()->Position() : 0;
}

void Environment::Finish() {
    if (scene_)
        scene_->SaveState();
}

}  // namespace Env
