// AudioRecWinVistaOrLater: the endpoint audio recorder. The capture thread waits for the
// client's event (at most twice the buffer's duration), then hands every packet to the sink;
// six quiet waits in a row end the capture with the connection message.

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "measure/WinAudioApi.h"

namespace AudioSampler {

namespace {

constexpr LONGLONG kBufferDuration = 5000000;  // 100 ns units: 0.5 s
constexpr int kQuietWaitsAllowed = 5;

WAVEFORMATEXTENSIBLE ToWaveFormat(const CaptureFormat& f) {
    WAVEFORMATEXTENSIBLE w{};
    w.Format.wFormatTag = f.formatTag;
    w.Format.nChannels = f.channels;
    w.Format.nSamplesPerSec = f.samplesPerSec;
    w.Format.nAvgBytesPerSec = f.avgBytesPerSec;
    w.Format.nBlockAlign = f.blockAlign;
    w.Format.wBitsPerSample = f.bitsPerSample;
    w.Format.cbSize = f.extensionSize;
    w.Samples.wValidBitsPerSample = f.validBitsPerSample;
    w.dwChannelMask = f.channelMask;
    static_assert(sizeof w.SubFormat == 16);
    std::memcpy(&w.SubFormat, f.subFormat.data(), 16);
    return w;
}

class AudioRecWinVistaOrLater final : public AudioRec {
public:
    AudioRecWinVistaOrLater(std::shared_ptr<EndpointSystem> system,
                            std::unique_ptr<EndpointStream> stream, std::wstring name)
        : system_(std::move(system)), stream_(std::move(stream)), name_(std::move(name)) {}
    ~AudioRecWinVistaOrLater() override {
        EndThread();
        if (streaming_)
            stream_->Stop();
        if (event_)
            ::CloseHandle(event_);
    }

    void SetInputLevelDb(float decibels) override {
        RaiseStoredError();
        Check(stream_->SetMasterVolumeLevel(decibels));
        Check(stream_->SetMute(FALSE));
    }
    void SetInputVolume(float fraction) override {
        RaiseStoredError();
        Check(stream_->SetMasterVolumeLevelScalar(fraction));
        Check(stream_->SetMute(FALSE));
    }
    void SetInputLevel(std::int32_t level) override {
        RaiseStoredError();
        Check(stream_->SetMasterVolumeLevelScalar(static_cast<float>(LevelToScalar(level))));
        Check(stream_->SetMute(FALSE));
    }

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
        RaiseStoredError();
        if (!sink)
            throw tsl::wruntime_error(StartStreamingFailedText(name_));
        EndThread();
        const CaptureFormatPtr format = sink->Format();
        if (!format || format->bitsPerSample != 16)
            throw HrException(kAudioUnsupportedFormat,
                              system_->SystemText(kAudioUnsupportedFormat));
        if (!initialised_) {
            const WAVEFORMATEXTENSIBLE wave = ToWaveFormat(*format);
            Check(stream_->Initialize(&wave.Format, kBufferDuration, kBufferDuration));
            initialised_ = true;
        }
        UINT32 frames = 0;
        Check(stream_->GetBufferSize(frames));
        const DWORD duration =
            std::max<DWORD>(1, static_cast<DWORD>(UINT64{frames} * 1000 / format->samplesPerSec));
        if (!event_) {
            event_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
            if (!event_)
                Check(HRESULT_FROM_WIN32(::GetLastError()));
        }
        Check(stream_->SetEventHandle(event_));
        {
            std::lock_guard<std::mutex> g(lock_);
            sink_ = sink;
            done_ = false;
        }
        sink->Arm();
        Check(stream_->Start());
        streaming_ = true;
        thread_ = std::thread([this, duration] { Capture(duration); });
    }

    void Stop() override {
        EndThread();
        {
            std::lock_guard<std::mutex> g(lock_);
            error_.clear();  // reported through CaptureError by the capture that ends here
            sink_.reset();
        }
        if (!streaming_)
            return;
        streaming_ = false;
        const HRESULT hr = stream_->Stop();
        if (FAILED(hr))
            throw tsl::wruntime_error(
                StopFailedText(ErrorText(static_cast<AudioResult>(hr), system_->SystemText(hr))));
    }

    std::wstring CaptureError() const override {
        std::lock_guard<std::mutex> g(lock_);
        return error_;
    }

private:
    void Check(HRESULT hr) {
        if (FAILED(hr))
            throw HrException(static_cast<AudioResult>(hr), system_->SystemText(hr));
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

    void EndThread() {
        {
            std::lock_guard<std::mutex> g(lock_);
            done_ = true;
        }
        if (thread_.joinable())
            thread_.join();
    }

    bool Finished() {
        std::lock_guard<std::mutex> g(lock_);
        return done_;
    }

    void Capture(DWORD duration) {
        stream_->EnterThread();
        int quiet = 0;
        try {
            while (!Finished()) {
                if (stream_->Wait(event_, 2 * duration) != WAIT_OBJECT_0) {
                    if (++quiet > kQuietWaitsAllowed) {
                        Fail(kCaptureConnectionText);
                        break;
                    }
                    continue;
                }
                quiet = 0;
                if (DeliverPackets())
                    break;
            }
        } catch (const tsl::wruntime_error& e) {
            Fail(e.wwhat());
        }
        stream_->LeaveThread();
    }

    // True when the sink is full.
    bool DeliverPackets() {
        std::lock_guard<std::mutex> g(packetLock_);
        UINT32 frames = 0;
        Check(stream_->GetNextPacketSize(frames));
        while (frames != 0) {
            BYTE* data = nullptr;
            DWORD flags = 0;
            Check(stream_->GetBuffer(data, frames, flags));
            std::shared_ptr<BaseAudioCap> sink;
            {
                std::lock_guard<std::mutex> g2(lock_);
                sink = sink_;
            }
            bool full = false;
            if (sink) {
                if (flags & 0x2)  // AUDCLNT_BUFFERFLAGS_SILENT: the data is to be taken as silence
                    silence_.assign(frames, 0);
                const auto* samples =
                    (flags & 0x2) ? silence_.data() : reinterpret_cast<const std::int16_t*>(data);
                const AudioResult r =
                    sink->DeliverSamples(samples, static_cast<std::int32_t>(frames), full);
                if (r != kAudioOk) {
                    stream_->ReleaseBuffer(frames);
                    throw HrException(r, system_->SystemText(static_cast<HRESULT>(r)));
                }
            }
            Check(stream_->ReleaseBuffer(frames));
            if (full) {
                {
                    std::lock_guard<std::mutex> g2(lock_);
                    done_ = true;
                }
                changed_.notify_all();
                return true;
            }
            Check(stream_->GetNextPacketSize(frames));
        }
        return false;
    }

    void Fail(const std::wstring& text) {
        std::shared_ptr<BaseAudioCap> sink;
        {
            std::lock_guard<std::mutex> g(lock_);
            if (error_.empty())
                error_ = text;
            sink = sink_;
        }
        changed_.notify_all();
        if (sink)
            sink->Ended(text);
    }

    std::shared_ptr<EndpointSystem> system_;
    std::unique_ptr<EndpointStream> stream_;
    std::wstring name_;
    HANDLE event_ = nullptr;
    bool initialised_ = false;
    bool streaming_ = false;
    std::thread thread_;
    std::mutex packetLock_;  // the recorder's lock around one packet loop
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::shared_ptr<BaseAudioCap> sink_;
    std::wstring error_;
    bool done_ = false;
    std::vector<std::int16_t> silence_;
};

class AudioRecEnumberatorWinVistaOrLater final : public AudioRecEnumerator {
public:
    explicit AudioRecEnumberatorWinVistaOrLater(std::shared_ptr<EndpointSystem> system)
        : system_(std::move(system)) {}

    std::vector<std::wstring> DeviceNames() override {
        if (!system_)
            throw tsl::wruntime_error(L"Internal error {F50ADD4D-A95D-4024-9BCE-8C21AEB215A8}");
        names_.clear();
        const HRESULT hr = system_->Enumerate(names_);
        if (FAILED(hr))
            throw tsl::wruntime_error(EnumerationFailedText(
                ErrorText(static_cast<AudioResult>(hr), system_->SystemText(hr))));
        return names_;
    }

    std::wstring FindDevice(const std::vector<std::wstring>& accepted) override {
        DeviceNames();
        const int chosen = ChooseDevice(names_, accepted);
        const std::wstring& name = names_[static_cast<std::size_t>(chosen)];
        EndpointSystem::Step failed = EndpointSystem::Step::Item;
        std::unique_ptr<EndpointStream> stream;
        if (FAILED(system_->Open(static_cast<UINT>(chosen), stream, failed)) || !stream) {
            switch (failed) {
                case EndpointSystem::Step::Item:
                    throw tsl::wruntime_error(L"The device '" + name + L"' is not available.");
                case EndpointSystem::Step::AudioClient:
                    throw tsl::wruntime_error(L"The audio device '" + name +
                                              L"' exists, but it is not available.\n");
                case EndpointSystem::Step::EndpointVolume:
                    throw tsl::wruntime_error(L"The audio device '" + name +
                                              L"' exists, but it's audio endpoint is not "
                                              L"available.\n");
            }
        }
        stream_ = std::move(stream);
        name_ = name;
        return name;
    }

    std::shared_ptr<AudioRec> OpenRecorder() override {
        if (!stream_)
            throw tsl::wruntime_error(L"Internal error {F50ADD4D-A95D-4024-9BCE-8C21AEB215A8}");
        return std::make_shared<AudioRecWinVistaOrLater>(system_, std::move(stream_), name_);
    }

private:
    std::shared_ptr<EndpointSystem> system_;
    std::vector<std::wstring> names_;
    std::unique_ptr<EndpointStream> stream_;
    std::wstring name_;
};

}  // namespace

EnumeratorPtr CreateEndpointEnumerator(std::shared_ptr<EndpointSystem> system) {
    return std::make_shared<AudioRecEnumberatorWinVistaOrLater>(std::move(system));
}

}  // namespace AudioSampler
