#pragma once
// The simulated measurement microphone: its own response, the calibration file it ships (version
// 3, enciphered, written into a calibration folder) and a capture device behind the recorder
// interface that hears the simulated subwoofer through the simulated room.

#include <complex>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "measure/AudioRec.h"
#include "sim/SimBus.h"
#include "sim/SimRoom.h"
#include "threading/Clock.h"
#include "threading/Prompt.h"

namespace Sim {

struct SimMicrophoneOptions {
    std::uint32_t serial = 1234567;
    std::int32_t calibrationVersion = 3;
    std::wstring deviceName = L"USB Audio (TSL-1 Corvana)";
};

class SimMicrophone {
public:
    explicit SimMicrophone(SimMicrophoneOptions options = {});

    const SimMicrophoneOptions& Options() const noexcept { return options_; }
    // The capsule's response (what the calibration file lets a measurement divide out).
    std::complex<double> Response(double frequency) const;
    // The enciphered calibration file (unit serial 0).
    std::vector<std::uint8_t> CalibrationFile() const;
    // Writes "<serial>Corvana.cal" into the folder (created when missing) and returns its path.
    // Raises tsl::wruntime_error when it cannot be written.
    std::filesystem::path WriteCalibrationFile(const std::filesystem::path& folder) const;

private:
    SimMicrophoneOptions options_;
};

// The subwoofer, the room and the microphone together. While the subwoofer plays its tone the
// microphone hears the steady state of the repeating sweep through the subwoofer, the equaliser
// in its flash (decoded and evaluated at the equaliser rate), the room at the current position,
// the microphone and the input level, with background noise; silence otherwise. Samples are
// produced in real time through the clock.
class SimAcoustics : public std::enable_shared_from_this<SimAcoustics> {
public:
    SimAcoustics(std::shared_ptr<SimDevice> subwoofer, SimRoom room, SimMicrophone microphone,
                 Threading::IClock& clock = Threading::RealClock::Instance());

    // The microphone's position (0-based); measurements of the same position hear the same room.
    void MoveTo(int position);
    int Position() const;
    // Moves to the position a "position %d" prompt names; false when the text names none.
    bool FollowPrompt(const std::wstring& promptText);

    const SimRoom& Room() const noexcept { return room_; }
    const SimMicrophone& Microphone() const noexcept { return microphone_; }
    Threading::IClock& Clock() const noexcept { return clock_; }
    const std::shared_ptr<SimDevice>& Subwoofer() const noexcept { return subwoofer_; }

    // The acoustic response at the microphone's diaphragm: subwoofer x equaliser x room, at the
    // given position, with the level (what a calibrated measurement recovers, up to the input
    // level's scale: see InputGain).
    std::complex<double> AcousticResponse(int position, double frequency) const;
    // The electrical gain after the capsule for a 0..65535 input level.
    static double InputGain(std::int32_t level);

    // The recorder interface over this scene: one device named by the microphone options. Its
    // blocks of 100 ms are timed by pace (null: the scene's clock), so a continuous capture can
    // run in real time while the subwoofer's waits stay virtual.
    AudioSampler::EnumeratorPtr CreateEnumerator(Threading::IClock* pace = nullptr);
    AudioSampler::EnumeratorFactory EnumeratorFactory(Threading::IClock* pace = nullptr);

private:
    friend class SimRecorder;
    // One period (65536 samples) of the microphone signal at unity input gain.
    std::vector<double> SteadyStatePeriod(int position) const;
    // The period the microphone hears now; null while the tone is off.
    std::shared_ptr<const std::vector<double>> CurrentPeriod();

    std::shared_ptr<SimDevice> subwoofer_;
    SimRoom room_;
    SimMicrophone microphone_;
    Threading::IClock& clock_;
    mutable std::mutex lock_;
    int position_ = 0;
    std::shared_ptr<const std::vector<double>> period_;
    int periodPosition_ = 0;
    std::vector<std::uint8_t> periodImage_;
};

// Passes every question on to the real prompt; an OK to a "move the microphone to position %d"
// prompt moves the simulated microphone there.
class SimPositionPrompt final : public Threading::IPrompt {
public:
    SimPositionPrompt(Threading::IPrompt& inner, std::shared_ptr<SimAcoustics> acoustics)
        : inner_(inner), acoustics_(std::move(acoustics)) {}

    Threading::MsgResult MessageBox(const std::wstring& text, const std::wstring& caption,
                                    Threading::MsgButtons buttons,
                                    Threading::MsgIcon icon) override;
    std::optional<size_t> Choose(const std::wstring& prompt,
                                 const std::vector<std::wstring>& choices) override {
        return inner_.Choose(prompt, choices);
    }

private:
    Threading::IPrompt& inner_;
    std::shared_ptr<SimAcoustics> acoustics_;
};

}  // namespace Sim
