#pragma once
// Recorders and their enumerators: find the measurement microphone among the recording devices
// by name, open it, set its input level and stream its samples into a capture sink.
//
// Failures are raised as tsl::wruntime_error carrying the text the user sees.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "measure/AudioCapture.h"
#include "threading/Errors.h"

namespace AudioSampler {

class AudioRec {
public:
    virtual ~AudioRec() = default;
    virtual void SetInputLevelDb(float decibels) = 0;
    virtual void SetInputVolume(float fraction) = 0;
    virtual void SetInputLevel(std::int32_t level) = 0;  // 0 .. 65535
    // Starts streaming into the sink, returns when the sink is full, stops.
    virtual void Record(const std::shared_ptr<BaseAudioCap>& sink) = 0;
    // Arms the sink and returns at once; samples arrive on the recorder's own thread.
    virtual void Start(const std::shared_ptr<BaseAudioCap>& sink) = 0;
    virtual void Stop() = 0;
    // The failure of the recorder's capture thread, empty while all is well. A stored failure is
    // also raised by the recorder's next operation.
    virtual std::wstring CaptureError() const { return {}; }
};

class AudioRecEnumerator {
public:
    virtual ~AudioRecEnumerator() = default;
    virtual std::vector<std::wstring> DeviceNames() = 0;
    // Chooses the first device that matches (MatchDevice) and checks it can be used; raises the
    // matching failure text otherwise. Returns the chosen name.
    virtual std::wstring FindDevice(const std::vector<std::wstring>& accepted) = 0;
    // A recorder on the device found.
    virtual std::shared_ptr<AudioRec> OpenRecorder() = 0;
};

using EnumeratorPtr = std::shared_ptr<AudioRecEnumerator>;
using EnumeratorFactory = std::function<EnumeratorPtr()>;

// Accepted microphone names: the tokens of the recording device, and the full-name lists.
const std::vector<std::wstring>& RecordingDeviceTokens();  // "Vireon", "Corvana", "VRC", "TSL"
const std::vector<std::wstring>& MainBrandMicrophones();
const std::vector<std::wstring>& ThirdBrandMicrophones();
const std::vector<std::wstring>& AllMicrophones();

// Index of the first device (in listed order) whose name contains one of the accepted names, or
// -1 when none does.
int MatchDevice(const std::vector<std::wstring>& devices,
                const std::vector<std::wstring>& accepted);
// "No audio recording devices matching '...' found.\n..." with the names found.
std::wstring NoMatchingDeviceText(const std::vector<std::wstring>& accepted,
                                  const std::vector<std::wstring>& devices);
// Raises NoMatchingDeviceText when nothing matches; the index of the chosen device otherwise.
int ChooseDevice(const std::vector<std::wstring>& devices,
                 const std::vector<std::wstring>& accepted);

// Texts shared by the recorders.
std::wstring DeviceNotAvailableText(const std::wstring& name);  // the mixer cannot be opened
std::wstring StartStreamingFailedText(const std::wstring& name);
std::wstring StopFailedText(const std::wstring& detail);
std::wstring EnumerationFailedText(const std::wstring& detail);
extern const wchar_t* const kCaptureConnectionText;

// Input level arithmetic.
// The volume scalar of a 0..65535 level: level / 65536, at most 1.
double LevelToScalar(std::int32_t level);
// The level a calibration file version asks for: 1 -> 16384, 2 and 3 -> 8192, else 4096.
std::int32_t LevelForCalibrationVersion(std::int32_t version);
// The control value of a fraction for a mixer control of maximum m: f * (m + 1) truncated, at
// most m.
std::int64_t FractionToControl(double fraction, std::int64_t maximum);

// The text of a platform result code: the system's message when it has one (one trailing line
// break stripped), otherwise the fallbacks of AudioErrors.cpp.
std::wstring ErrorText(AudioResult code, const std::wstring& systemText = {});

// A failure whose text is made from a platform result code.
class HrException : public tsl::wruntime_error {
public:
    explicit HrException(AudioResult code, const std::wstring& systemText = {})
        : tsl::wruntime_error(ErrorText(code, systemText)), code_(code) {}
    AudioResult Code() const noexcept { return code_; }

private:
    AudioResult code_;
};

}  // namespace AudioSampler
