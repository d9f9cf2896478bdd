// AudioRecWinXP: wave input with 4096-sample buffers, handed from the driver's callback to a
// buffer thread (AudioSampler2::WaveCallback) that converts each full buffer and queues it again;
// the input level through the mixer line of the device.

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

#include "measure/WinAudioApi.h"

namespace AudioSampler {

namespace {

constexpr int kWaveBuffers = 8;
constexpr DWORD kBufferBytes = kWaveBufferSamples * sizeof(std::int16_t);

std::wstring WaveText(const WaveApi& api, MMRESULT code) {
    wchar_t text[MAXERRORLENGTH] = {};
    if (api.getErrorText(code, text, MAXERRORLENGTH) != MMSYSERR_NOERROR || text[0] == 0)
        return ErrorText(kAudioGenericFailure);
    return text;
}

// The volume control of the device's microphone line (or of its wave-input destination).
class MixerLevel {
public:
    MixerLevel(const WaveApi& api, UINT device) : api_(api) {
        UINT mixer = 0;
        if (api_.mixerGetID(reinterpret_cast<HMIXEROBJ>(static_cast<UINT_PTR>(device)), &mixer,
                            MIXER_OBJECTF_WAVEIN) != MMSYSERR_NOERROR ||
            api_.mixerOpen(&mixer_, mixer, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR) {
            mixer_ = nullptr;
            return;
        }
        FindControl();
    }
    ~MixerLevel() {
        if (mixer_)
            api_.mixerClose(mixer_);
    }
    MixerLevel(const MixerLevel&) = delete;
    MixerLevel& operator=(const MixerLevel&) = delete;

    bool Opened() const { return mixer_ != nullptr; }

    void SetFraction(double fraction) {
        const std::int64_t maximum = haveControl_ ? std::int64_t{control_.Bounds.dwMaximum} : -1;
        Write(FractionToControl(fraction, maximum));
    }
    void Write(std::int64_t value) {
        if (!haveControl_)
            throw HrException(kAudioGenericFailure);
        MIXERCONTROLDETAILS_UNSIGNED detail{};
        detail.dwValue = static_cast<DWORD>(
            std::clamp<std::int64_t>(value, 0, std::int64_t{control_.Bounds.dwMaximum}));
        MIXERCONTROLDETAILS details{};
        details.cbStruct = sizeof details;
        details.dwControlID = control_.dwControlID;
        details.cChannels = 1;
        details.cbDetails = sizeof detail;
        details.paDetails = &detail;
        if (api_.mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(mixer_), &details,
                                        MIXER_SETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR)
            throw HrException(kAudioGenericFailure);
    }

private:
    bool VolumeOf(DWORD lineId) {
        MIXERLINECONTROLSW controls{};
        controls.cbStruct = sizeof controls;
        controls.dwLineID = lineId;
        controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
        controls.cControls = 1;
        controls.cbmxctrl = sizeof control_;
        controls.pamxctrl = &control_;
        return api_.mixerGetLineControls(reinterpret_cast<HMIXEROBJ>(mixer_), &controls,
                                         MIXER_GETLINECONTROLSF_ONEBYTYPE) == MMSYSERR_NOERROR;
    }

    void FindControl() {
        const auto object = reinterpret_cast<HMIXEROBJ>(mixer_);
        MIXERLINEW line{};
        line.cbStruct = sizeof line;
        line.dwComponentType = MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
        if (api_.mixerGetLineInfo(object, &line, MIXER_GETLINEINFOF_COMPONENTTYPE) ==
                MMSYSERR_NOERROR &&
            VolumeOf(line.dwLineID)) {
            haveControl_ = true;
            return;
        }
        MIXERLINEW destination{};
        destination.cbStruct = sizeof destination;
        destination.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
        if (api_.mixerGetLineInfo(object, &destination, MIXER_GETLINEINFOF_COMPONENTTYPE) !=
            MMSYSERR_NOERROR)
            return;
        for (DWORD i = 0; i < destination.cConnections; ++i) {
            MIXERLINEW source{};
            source.cbStruct = sizeof source;
            source.dwDestination = destination.dwDestination;
            source.dwSource = i;
            if (api_.mixerGetLineInfo(object, &source, MIXER_GETLINEINFOF_SOURCE) ==
                    MMSYSERR_NOERROR &&
                VolumeOf(source.dwLineID)) {
                haveControl_ = true;
                return;
            }
        }
        haveControl_ = VolumeOf(destination.dwLineID);
    }

    const WaveApi& api_;
    HMIXER mixer_ = nullptr;
    MIXERCONTROLW control_{};
    bool haveControl_ = false;
};

class AudioRecWinXP final : public AudioRec {
public:
    AudioRecWinXP(const WaveApi& api, UINT device, std::wstring name,
                  std::unique_ptr<MixerLevel> mixer)
        : api_(api), device_(device), name_(std::move(name)), mixer_(std::move(mixer)) {}
    ~AudioRecWinXP() override { Close(); }

    // 10^(dB / 20) of the control's range.
    void SetInputLevelDb(float decibels) override {
        SetInputVolume(static_cast<float>(std::pow(10.0, decibels / 20.0)));
    }
    void SetInputVolume(float fraction) override { Mixer().SetFraction(fraction); }
    void SetInputLevel(std::int32_t level) override { Mixer().Write(level); }

    void Record(const std::shared_ptr<BaseAudioCap>& sink) override {
        Start(sink);
        {
            std::unique_lock<std::mutex> g(lock_);
            changed_.wait(g, [this] { return done_ || !error_.empty(); });
        }
        const std::wstring failure = CaptureError();
        Stop();
        if (!failure.empty())
            throw tsl::wruntime_error(failure);
    }

    void Start(const std::shared_ptr<BaseAudioCap>& sink) override {
        if (!sink)
            throw tsl::wruntime_error(StartStreamingFailedText(name_));
        Close();
        const CaptureFormatPtr format = sink->Format();
        WAVEFORMATEX wave{};
        wave.wFormatTag = WAVE_FORMAT_PCM;
        wave.nChannels = 1;
        wave.nSamplesPerSec = format ? format->samplesPerSec : 48000;
        wave.wBitsPerSample = 16;
        wave.nBlockAlign = 2;
        wave.nAvgBytesPerSec = wave.nSamplesPerSec * 2;
        {
            std::lock_guard<std::mutex> g(lock_);
            sink_ = sink;
            done_ = stopping_ = false;
            error_.clear();
            queue_.clear();
        }
        sink->Arm();
        MMRESULT r = api_.open(&wave_, device_, &wave, reinterpret_cast<DWORD_PTR>(&WaveProc),
                               reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
        if (r != MMSYSERR_NOERROR) {
            wave_ = nullptr;
            throw tsl::wruntime_error(StartStreamingFailedText(name_));
        }
        worker_ = std::thread([this] { WaveCallback(); });
        buffers_.assign(kWaveBuffers, std::vector<std::int16_t>(kWaveBufferSamples));
        headers_.assign(kWaveBuffers, WAVEHDR{});
        for (int i = 0; i < kWaveBuffers && r == MMSYSERR_NOERROR; ++i) {
            WAVEHDR& h = headers_[static_cast<size_t>(i)];
            h.lpData = reinterpret_cast<LPSTR>(buffers_[static_cast<size_t>(i)].data());
            h.dwBufferLength = kBufferBytes;
            r = api_.prepareHeader(wave_, &h, sizeof h);
            if (r == MMSYSERR_NOERROR)
                r = api_.addBuffer(wave_, &h, sizeof h);
        }
        if (r == MMSYSERR_NOERROR)
            r = api_.start(wave_);
        if (r != MMSYSERR_NOERROR) {
            const std::wstring text = WaveText(api_, r);
            Close();
            throw tsl::wruntime_error(StartStreamingFailedText(name_) + L"\n" + text);
        }
        streaming_ = true;
    }

    void Stop() override {
        MMRESULT r = MMSYSERR_NOERROR;
        if (wave_ && streaming_)
            r = api_.stop(wave_);
        Close();
        if (r != MMSYSERR_NOERROR)
            throw tsl::wruntime_error(WaveText(api_, r));
    }

    std::wstring CaptureError() const override {
        std::lock_guard<std::mutex> g(lock_);
        return error_;
    }

    // The driver's notification: filled buffers go to the buffer thread (no wave call is
    // allowed here).
    static void CALLBACK WaveProc(HWAVEIN, UINT message, DWORD_PTR self, DWORD_PTR header,
                                  DWORD_PTR) {
        if (message != WIM_DATA)
            return;
        auto* recorder = reinterpret_cast<AudioRecWinXP*>(self);
        {
            std::lock_guard<std::mutex> g(recorder->lock_);
            recorder->queue_.push_back(reinterpret_cast<WAVEHDR*>(header));
        }
        recorder->changed_.notify_all();
    }

private:
    MixerLevel& Mixer() {
        if (!mixer_ || !mixer_->Opened())
            throw HrException(kAudioGenericFailure);
        return *mixer_;
    }

    void WaveCallback() {
        std::vector<double> values(kWaveBufferSamples);
        for (;;) {
            WAVEHDR* header = nullptr;
            std::shared_ptr<BaseAudioCap> sink;
            {
                std::unique_lock<std::mutex> g(lock_);
                changed_.wait(g, [this] { return stopping_ || !queue_.empty(); });
                if (queue_.empty())
                    return;
                header = queue_.front();
                queue_.pop_front();
                sink = done_ ? nullptr : sink_;
            }
            // Only a buffer recorded to its end is delivered.
            if (!(header->dwFlags & WHDR_DONE) || header->dwBytesRecorded != kBufferBytes)
                continue;
            const auto* samples = reinterpret_cast<const std::int16_t*>(header->lpData);
            for (DWORD i = 0; i < kWaveBufferSamples; ++i)
                values[i] = samples[i] / 32767.0;
            bool stopping = false;
            {
                std::lock_guard<std::mutex> g(lock_);
                stopping = stopping_;
            }
            if (!stopping)
                api_.addBuffer(wave_, header, sizeof *header);
            bool full = false;
            if (sink && sink->DeliverDoubles(values.data(), kWaveBufferSamples, full) == kAudioOk &&
                full) {
                {
                    std::lock_guard<std::mutex> g(lock_);
                    done_ = true;
                }
                changed_.notify_all();
            }
        }
    }

    void Close() {
        streaming_ = false;
        if (wave_)
            api_.reset(wave_);  // every queued buffer comes back marked done
        {
            std::lock_guard<std::mutex> g(lock_);
            stopping_ = true;
        }
        changed_.notify_all();
        if (worker_.joinable())
            worker_.join();
        if (wave_) {
            for (WAVEHDR& h : headers_)
                if (h.dwFlags & WHDR_PREPARED)
                    api_.unprepareHeader(wave_, &h, sizeof h);
            api_.close(wave_);
            wave_ = nullptr;
        }
        std::lock_guard<std::mutex> g(lock_);
        queue_.clear();
        sink_.reset();
    }

    const WaveApi& api_;
    UINT device_;
    std::wstring name_;
    std::unique_ptr<MixerLevel> mixer_;
    HWAVEIN wave_ = nullptr;
    std::vector<std::vector<std::int16_t>> buffers_;
    std::vector<WAVEHDR> headers_;
    std::thread worker_;
    bool streaming_ = false;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::deque<WAVEHDR*> queue_;
    std::shared_ptr<BaseAudioCap> sink_;
    std::wstring error_;
    bool done_ = false;
    bool stopping_ = false;
};

class AudioRecEnumberatorWinXP final : public AudioRecEnumerator {
public:
    explicit AudioRecEnumberatorWinXP(const WaveApi& api) : api_(api) {}

    std::vector<std::wstring> DeviceNames() override {
        names_.clear();
        const UINT count = api_.getNumDevs();
        for (UINT i = 0; i < count; ++i) {
            WAVEINCAPSW caps{};
            if (api_.getDevCaps(i, &caps, sizeof caps) == MMSYSERR_NOERROR)
                names_.emplace_back(caps.szPname);
            else
                names_.emplace_back();
        }
        return names_;
    }

    std::wstring FindDevice(const std::vector<std::wstring>& accepted) override {
        DeviceNames();
        const int chosen = ChooseDevice(names_, accepted);
        const std::wstring& name = names_[static_cast<std::size_t>(chosen)];
        ::OutputDebugStringW((L"Microphone: " + name + L"\n").c_str());
        auto mixer = std::make_unique<MixerLevel>(api_, static_cast<UINT>(chosen));
        if (!mixer->Opened())
            throw tsl::wruntime_error(DeviceNotAvailableText(name));
        mixer_ = std::move(mixer);
        chosen_ = chosen;
        return name;
    }

    std::shared_ptr<AudioRec> OpenRecorder() override {
        if (chosen_ < 0)
            throw tsl::wruntime_error(L"Internal error {F50ADD4D-A95D-4024-9BCE-8C21AEB215A8}");
        return std::make_shared<AudioRecWinXP>(api_, static_cast<UINT>(chosen_),
                                               names_[static_cast<std::size_t>(chosen_)],
                                               std::move(mixer_));
    }

private:
    const WaveApi& api_;
    std::vector<std::wstring> names_;
    std::unique_ptr<MixerLevel> mixer_;
    int chosen_ = -1;
};

}  // namespace

EnumeratorPtr CreateWaveEnumerator(const WaveApi& api) {
    return std::make_shared<AudioRecEnumberatorWinXP>(api);
}

}  // namespace AudioSampler
