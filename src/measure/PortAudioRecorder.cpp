#include "measure/PortAudioRecorder.h"

#include <alsa/asoundlib.h>
#include <portaudio.h>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "measure/AudioWatchdog.h"
#include "threading/Errors.h"

namespace AudioSampler {

namespace {

constexpr double kRate = 48000.0;
// The recorder's own block: 100 ms.
constexpr unsigned long kFramesPerBlock = 4800;
constexpr std::chrono::milliseconds kBlockDuration{100};

std::wstring PaText(PaError error) {
    const char* text = Pa_GetErrorText(error);
    return tsl::FromUtf8(text ? text : "unknown error");
}

// ALSA reports every odd configuration entry on stderr while PortAudio probes devices.
extern "C" void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

// One reference on the PortAudio library for as long as an enumerator or a recorder lives.
class PaSession {
public:
    PaSession() {
        snd_lib_error_set_handler(&QuietAlsa);
        const PaError error = Pa_Initialize();
        if (error != paNoError)
            throw tsl::wruntime_error(EnumerationFailedText(PaText(error)));
    }
    ~PaSession() { Pa_Terminate(); }
    PaSession(const PaSession&) = delete;
    PaSession& operator=(const PaSession&) = delete;
};

PaStreamParameters InputParameters(PaDeviceIndex device) {
    PaStreamParameters p{};
    p.device = device;
    p.channelCount = 1;
    p.sampleFormat = paInt16;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    p.suggestedLatency = info ? info->defaultHighInputLatency : 0.1;
    p.hostApiSpecificStreamInfo = nullptr;
    return p;
}

// The ALSA card of a PortAudio device name such as "USB Audio: - (hw:1,0)"; none for a PCM
// that is not a hardware card.
std::optional<int> CardOf(const std::wstring& name) {
    const auto at = name.find(L"(hw:");
    if (at == std::wstring::npos)
        return std::nullopt;
    int card = 0;
    std::size_t i = at + 4;
    bool digits = false;
    while (i < name.size() && name[i] >= L'0' && name[i] <= L'9' && card < 1000) {
        card = card * 10 + (name[i] - L'0');
        ++i;
        digits = true;
    }
    if (!digits)
        return std::nullopt;
    return card;
}

// The capture volume of one card through the ALSA simple mixer.
class AlsaCaptureMixer {
public:
    explicit AlsaCaptureMixer(int card) {
        const std::string device = "hw:" + std::to_string(card);
        if (snd_mixer_open(&mixer_, 0) < 0) {
            mixer_ = nullptr;
            return;
        }
        if (snd_mixer_attach(mixer_, device.c_str()) < 0 ||
            snd_mixer_selem_register(mixer_, nullptr, nullptr) < 0 || snd_mixer_load(mixer_) < 0) {
            snd_mixer_close(mixer_);
            mixer_ = nullptr;
            return;
        }
        for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer_); e; e = snd_mixer_elem_next(e)) {
            if (snd_mixer_selem_is_active(e) && snd_mixer_selem_has_capture_volume(e)) {
                element_ = e;
                break;
            }
        }
    }
    ~AlsaCaptureMixer() {
        if (mixer_)
            snd_mixer_close(mixer_);
    }
    AlsaCaptureMixer(const AlsaCaptureMixer&) = delete;
    AlsaCaptureMixer& operator=(const AlsaCaptureMixer&) = delete;

    bool HasControl() const { return element_ != nullptr; }

    void SetFraction(double fraction) {
        long lo = 0, hi = 0;
        if (snd_mixer_selem_get_capture_volume_range(element_, &lo, &hi) < 0 || hi < lo)
            Fail();
        const long value = lo + static_cast<long>(FractionToControl(fraction, hi - lo));
        if (snd_mixer_selem_set_capture_volume_all(element_, value) < 0)
            Fail();
        Unmute();
    }

    void SetDecibels(float decibels) {
        if (snd_mixer_selem_set_capture_dB_all(element_, static_cast<long>(decibels * 100.0f), 0) <
            0)
            Fail();
        Unmute();
    }

private:
    void Unmute() {
        if (snd_mixer_selem_has_capture_switch(element_))
            snd_mixer_selem_set_capture_switch_all(element_, 1);
    }
    [[noreturn]] static void Fail() { throw tsl::wruntime_error(ErrorText(kAudioGenericFailure)); }

    snd_mixer_t* mixer_ = nullptr;
    snd_mixer_elem_t* element_ = nullptr;
};

class PortAudioRecorder final : public AudioRec {
public:
    PortAudioRecorder(std::shared_ptr<PaSession> session, PaDeviceIndex device, std::wstring name)
        : session_(std::move(session)), device_(device), name_(std::move(name)) {
        if (auto card = CardOf(name_)) {
            auto mixer = std::make_unique<AlsaCaptureMixer>(*card);
            if (mixer->HasControl())
                mixer_ = std::move(mixer);
        }
    }
    ~PortAudioRecorder() override { CloseStream(); }

    // A device without a capture control (a plain PCM, or a microphone with a fixed gain) keeps
    // its level; there is nothing to set.
    void SetInputLevelDb(float decibels) override {
        RaiseStoredError();
        if (mixer_)
            mixer_->SetDecibels(decibels);
    }
    void SetInputVolume(float fraction) override {
        RaiseStoredError();
        if (mixer_)
            mixer_->SetFraction(fraction);
    }
    void SetInputLevel(std::int32_t level) override {
        RaiseStoredError();
        if (mixer_)
            mixer_->SetFraction(LevelToScalar(level));
    }

    void Record(const std::shared_ptr<BaseAudioCap>& sink) override {
        Start(sink);
        auto& clock = Threading::RealClock::Instance();
        const auto limit = clock.Now() + std::chrono::milliseconds(kCaptureSamples * 1500 / 48000);
        while (!done_.load() && CaptureError().empty() && clock.Now() < limit)
            clock.SleepFor(kBlockDuration);
        const std::wstring failure = CaptureError();
        Stop();
        if (!failure.empty())
            throw tsl::wruntime_error(failure);
    }

    void Start(const std::shared_ptr<BaseAudioCap>& sink) override {
        RaiseStoredError();
        if (!sink)
            throw tsl::wruntime_error(StartStreamingFailedText(name_));
        const CaptureFormatPtr format = sink->Format();
        if (!format || format->bitsPerSample != 16 || format->channels != 1 ||
            format->samplesPerSec != 48000)
            throw tsl::wruntime_error(ErrorText(kAudioUnsupportedFormat));
        CloseStream();
        {
            std::lock_guard<std::mutex> g(lock_);
            sink_ = sink;
        }
        done_ = false;
        sink->Arm();
        const PaStreamParameters input = InputParameters(device_);
        PaError error = Pa_OpenStream(&stream_, &input, nullptr, kRate, kFramesPerBlock,
                                      paClipOff | paDitherOff, &PortAudioRecorder::Callback, this);
        if (error != paNoError) {
            stream_ = nullptr;
            throw tsl::wruntime_error(StartStreamingFailedText(name_));
        }
        watchdog_ = std::make_unique<CaptureWatchdog>(Threading::RealClock::Instance(),
                                                      kBlockDuration, [this] { Lost(); });
        error = Pa_StartStream(stream_);
        if (error != paNoError) {
            CloseStream();
            throw tsl::wruntime_error(StartStreamingFailedText(name_));
        }
    }

    void Stop() override {
        const PaError error = CloseStream();
        // A failure of the capture that ends here has reached the caller through CaptureError;
        // raising it again at the next start would fail the retry as well.
        {
            std::lock_guard<std::mutex> g(lock_);
            error_.clear();
        }
        if (error != paNoError)
            throw tsl::wruntime_error(StopFailedText(PaText(error)));
    }

    std::wstring CaptureError() const override {
        std::lock_guard<std::mutex> g(lock_);
        return error_;
    }

private:
    static int Callback(const void* input, void*, unsigned long frames,
                        const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags flags, void* self) {
        return static_cast<PortAudioRecorder*>(self)->Deliver(
            static_cast<const std::int16_t*>(input), frames, flags);
    }

    int Deliver(const std::int16_t* samples, unsigned long frames, PaStreamCallbackFlags flags) {
        if (watchdog_)
            watchdog_->Beat();
        std::shared_ptr<BaseAudioCap> sink;
        {
            std::lock_guard<std::mutex> g(lock_);
            sink = sink_;
        }
        if (!sink || !samples)
            return paContinue;
        // Lost input would leave a gap in the sweep periods; such a capture cannot be analysed.
        if (flags & paInputOverflow) {
            Fail(kCaptureConnectionText);
            return paComplete;
        }
        bool done = false;
        const AudioResult result =
            sink->DeliverSamples(samples, static_cast<std::int32_t>(frames), done);
        if (result != kAudioOk) {
            Fail(ErrorText(result));
            return paComplete;
        }
        if (done) {
            done_ = true;
            return paComplete;
        }
        return paContinue;
    }

    void Lost() { Fail(kCaptureConnectionText); }

    void Fail(const std::wstring& text) {
        std::shared_ptr<BaseAudioCap> sink;
        {
            std::lock_guard<std::mutex> g(lock_);
            if (error_.empty())
                error_ = text;
            sink = sink_;
        }
        // Wake the measurement at once instead of leaving it to time out.
        if (sink)
            sink->Ended(text);
    }

    void RaiseStoredError() {
        std::wstring text;
        {
            std::lock_guard<std::mutex> g(lock_);
            text.swap(error_);
        }
        if (!text.empty())
            throw tsl::wruntime_error(text);
    }

    PaError CloseStream() {
        PaError result = paNoError;
        if (stream_) {
            if (Pa_IsStreamStopped(stream_) == 0)
                result = Pa_AbortStream(stream_);
            const PaError closed = Pa_CloseStream(stream_);
            if (result == paNoError)
                result = closed;
            stream_ = nullptr;
        }
        if (watchdog_) {
            watchdog_->Stop();
            watchdog_.reset();
        }
        std::lock_guard<std::mutex> g(lock_);
        sink_.reset();
        return result;
    }

    std::shared_ptr<PaSession> session_;
    PaDeviceIndex device_;
    std::wstring name_;
    std::unique_ptr<AlsaCaptureMixer> mixer_;
    PaStream* stream_ = nullptr;
    std::unique_ptr<CaptureWatchdog> watchdog_;
    mutable std::mutex lock_;
    std::shared_ptr<BaseAudioCap> sink_;
    std::wstring error_;
    std::atomic<bool> done_{false};
};

class PortAudioEnumerator final : public AudioRecEnumerator {
public:
    PortAudioEnumerator() : session_(std::make_shared<PaSession>()) {}

    std::vector<std::wstring> DeviceNames() override {
        names_.clear();
        indices_.clear();
        const PaDeviceIndex count = Pa_GetDeviceCount();
        if (count < 0)
            throw tsl::wruntime_error(EnumerationFailedText(PaText(count)));
        for (PaDeviceIndex i = 0; i < count; ++i) {
            const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
            if (!info || info->maxInputChannels < 1 || !info->name)
                continue;
            names_.push_back(tsl::FromUtf8(info->name));
            indices_.push_back(i);
        }
        return names_;
    }

    std::wstring FindDevice(const std::vector<std::wstring>& accepted) override {
        DeviceNames();
        const int chosen = ChooseDevice(names_, accepted);
        const std::wstring& name = names_[static_cast<std::size_t>(chosen)];
        const PaStreamParameters input =
            InputParameters(indices_[static_cast<std::size_t>(chosen)]);
        if (Pa_IsFormatSupported(&input, nullptr, kRate) != paFormatIsSupported)
            throw tsl::wruntime_error(L"The audio device '" + name +
                                      L"' exists, but it is not available.\n");
        chosen_ = chosen;
        return name;
    }

    std::shared_ptr<AudioRec> OpenRecorder() override {
        if (chosen_ < 0)
            throw tsl::wruntime_error(L"Internal error {F50ADD4D-A95D-4024-9BCE-8C21AEB215A8}");
        const auto i = static_cast<std::size_t>(chosen_);
        return std::make_shared<PortAudioRecorder>(session_, indices_[i], names_[i]);
    }

private:
    std::shared_ptr<PaSession> session_;
    std::vector<std::wstring> names_;
    std::vector<PaDeviceIndex> indices_;
    int chosen_ = -1;
};

}  // namespace

EnumeratorPtr CreatePortAudioEnumerator() {
    return std::make_shared<PortAudioEnumerator>();
}

EnumeratorPtr CreateEnumerator() {
    return CreatePortAudioEnumerator();
}

}  // namespace AudioSampler
