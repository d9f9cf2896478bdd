#include "sublink/PlayDevice.h"

#include "measure/Impulse.h"
#include "sublink/Models.h"

namespace CUsbController {

namespace {

const wchar_t* const kNoSubwooferText =
    L"Could not find a subwoofer.\nPlease check that you have connected the target subwoofer via "
    L"USB.";
const wchar_t* const kNoApplicationText =
    L"Unable to switch to application code.\nYour subwoofer may not be programmed correctly.";
const wchar_t* const kToneNotAnsweredText = L"Failed to start test tone playback";
const wchar_t* const kToneRefusedText =
    L"Usb sub failed to play test tone.\nDoes your subwoofer support TSL?";

// The models whose tone needs longer to reach a steady level.
bool IsSlowToneModel(const BaseConfig* model) {
    return model != nullptr &&
           (model->modelId == ModelId::kHalvern3 || model->modelId == ModelId::kHalvern2);
}

CurvePtr SweepSpectrum() {
    const CurvePtr sweep = SweepReference(kSweepLength, kSweepRate);
    CurvePtr spectrum = Fft(*sweep);
    // Kept in magnitude and phase so that dividing by it never has to convert (write) it.
    if (spectrum)
        ToMagPhase(*spectrum);
    return spectrum;
}

}  // namespace

UsbSubPlayDevice::UsbSubPlayDevice(bool quickMode, UsbEnvironment environment)
    : quickMode_(quickMode ? 1 : 0), channel_(std::move(environment)) {
    SetReference(SweepSpectrum());
}

UsbSubPlayDevice::UsbSubPlayDevice(bool quickMode, std::shared_ptr<IUsbBus> bus,
                                   Threading::IClock* clock)
    : UsbSubPlayDevice(quickMode, UsbEnvironment{std::move(bus), clock, {}}) {}

bool UsbSubPlayDevice::Open() {
    if (!channel_.IsUsable()) {
        if (!channel_.OpenAnyDevice()) {
            SetLastError(kNoSubwooferText);
            return false;
        }
        channel_.Clock().SleepFor(kOpenSettle);
    }
    if (!channel_.SwitchToApplication()) {
        SetLastError(kNoApplicationText);
        return false;
    }
    return true;
}

bool UsbSubPlayDevice::Start() {
    std::string reply;
    if (!channel_.Transact(quickMode_ ? "t2" : "t3", &reply)) {
        SetLastError(kToneNotAnsweredText);
        return false;
    }
    if (!reply.empty() && reply[0] == '!') {
        SetLastError(kToneRefusedText);
        return false;
    }
    if (IsSlowToneModel(channel_.CurrentModel()))
        channel_.Clock().SleepFor(kSlowModelSettle);
    channel_.Clock().SleepFor(kToneSettle);
    return true;
}

bool UsbSubPlayDevice::Stop() {
    channel_.Clock().SleepFor(kStopPause);
    if (!channel_.Transact("t4"))
        channel_.Clock().SleepFor(kStopRetryPause);
    if (channel_.Transact("t4"))
        return true;
    channel_.Clock().SleepFor(kStopRetryPause);
    return channel_.Transact("t4");
}

}  // namespace CUsbController
