#include "app/AppSession.h"

#include <cstdlib>

#ifdef _WIN32
#include "measure/WinAudioRecorder.h"
#include "sublink/WinUsbTransport.h"
#else
#include "measure/PortAudioRecorder.h"
#include "sublink/LibusbTransport.h"
#endif
#include "sim/SimScene.h"
#include "sim/SimState.h"
#include "threading/Errors.h"

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

}  // namespace

AppSession::AppSession(const AppOptions& options) {
    if (options.simulate) {
        Sim::SceneOptions scene;
        if (!options.simState.empty())
            stateLock_ = std::make_unique<Sim::StateFileLock>(options.simState);
        scene.modelId = static_cast<uint16_t>(options.simModel);
        scene.stateFile = options.simState;
        scene.roomFile = options.simRoom;
        for (const auto& text : options.simFaults) {
            auto fault = Sim::ParseFault(text);
            if (!fault)
                throw tsl::wruntime_error(L"Unknown or malformed simulated fault: " +
                                          tsl::FromUtf8(text));
            scene.faults.push_back(*fault);
        }
        scene_ = std::make_unique<Sim::SimScene>(std::move(scene));
        return;
    }
    std::vector<CUsbController::UsbId> ids;
    for (const auto& text : options.usbIds) {
        auto id = CUsbController::ParseUsbId(text);
        if (!id)
            throw tsl::wruntime_error(L"--usb-id must be VVVV:PPPP in hexadecimal: " +
                                      tsl::FromUtf8(text));
        ids.push_back(*id);
    }
    if (const char* env = std::getenv("TESSALINE_USB_IDS"))
        if (!CUsbController::ParseUsbIdList(env, ids))
            throw tsl::wruntime_error(L"TESSALINE_USB_IDS must be VVVV:PPPP,...: " +
                                      tsl::FromUtf8(env));
#ifdef _WIN32
    // The subwoofer's interface class finds it; ids are not needed.
    bus_ = std::make_shared<CUsbController::WinUsbBus>();
#else
    bus_ = std::make_shared<CUsbController::LibusbBus>(std::move(ids));
#endif
}

AppSession::~AppSession() = default;

MeasureEnvironment AppSession::Measure() const {
    MeasureEnvironment env;
    if (scene_) {
        env.usb = scene_->Usb();
        env.recorders = scene_->Recorders();
        env.calibrationDir = scene_->CalibrationDir();
        env.micSerial = scene_->MicrophoneSerial();
    } else {
        env.usb = {bus_, nullptr, {}};
        env.recorders = AudioSampler::CreateEnumerator;
        env.deviceCheck.driver = CUsbController::DriverSupport::Platform();
    }
    env.microphone = microphone_;
    env.calibrationUsed = [last = lastCalibration_](const CalibrationUsed& used) {
        std::lock_guard<std::mutex> hold(last->lock);
        last->used = used;
    };
    return env;
}

MeasureEnvironment AppSession::QuickMeasure(Threading::IClock* pace) const {
    MeasureEnvironment env = Measure();
    if (scene_)
        env.recorders = scene_->Recorders(pace ? pace : &Threading::RealClock::Instance());
    return env;
}

void AppSession::MoveMicrophone(int position) const {
    if (scene_)
        scene_->Acoustics()->MoveTo(position);
}

int AppSession::MicrophonePosition() const {
    return scene_ ? scene_->Acoustics()->Position() : 0;
}

std::optional<CalibrationUsed> AppSession::LastCalibration() const {
    std::lock_guard<std::mutex> hold(lastCalibration_->lock);
    return lastCalibration_->used;
}

std::vector<std::wstring> AppSession::RecordingDevices() const {
    const AudioSampler::EnumeratorFactory factory = Measure().recorders;
    try {
        if (const AudioSampler::EnumeratorPtr enumerator = factory ? factory() : nullptr)
            return enumerator->DeviceNames();
    } catch (const std::exception&) {  // no list: only the accepted microphones are offered
    }
    return {};
}

std::unique_ptr<Threading::IPrompt> AppSession::WrapPrompt(Threading::IPrompt& inner) const {
    if (scene_)
        return scene_->PositionPrompt(inner);
    return std::make_unique<PassThroughPrompt>(inner);
}

void AppSession::Finish() {
    if (scene_)
        scene_->SaveState();
}
