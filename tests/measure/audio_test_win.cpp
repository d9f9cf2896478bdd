// The endpoint recorder against a fake audio client that delivers a known sweep in packets, and
// the real system's enumerations (whatever wine's audio reports).

#include <gtest/gtest.h>

#include <cmath>
#include <deque>

#include "measure/WinAudioApi.h"
#include "measure/WinAudioRecorder.h"

using namespace AudioSampler;

namespace {

constexpr UINT32 kPacketFrames = 480;  // 10 ms

std::vector<std::int16_t> Sweep(size_t n) {
    std::vector<std::int16_t> s(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / 48000.0;
        s[i] = static_cast<std::int16_t>(
            std::lround(32767.0 * std::sin(2 * M_PI * 20.0 * t * (1 + t))));
    }
    s[1] = 32767;
    s[2] = -32768;
    return s;
}

struct Script {
    std::vector<std::int16_t> samples = Sweep(kCaptureSamples + 5000);
    int quietWaits = 0;  // WAIT_TIMEOUT for the first waits
    WAVEFORMATEXTENSIBLE format{};
    LONGLONG duration = 0, periodicity = 0;
    std::vector<float> scalars;
    std::vector<BOOL> mutes;
    int starts = 0, stops = 0;
};

class FakeStream final : public EndpointStream {
public:
    explicit FakeStream(Script& s) : s_(s) {}
    HRESULT Initialize(const WAVEFORMATEX* f, LONGLONG d, LONGLONG p) override {
        s_.format = *reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(f);
        s_.duration = d;
        s_.periodicity = p;
        return S_OK;
    }
    HRESULT GetBufferSize(UINT32& frames) override {
        frames = 24000;  // 0.5 s
        return S_OK;
    }
    HRESULT SetEventHandle(HANDLE) override { return S_OK; }
    HRESULT Start() override {
        ++s_.starts;
        return S_OK;
    }
    HRESULT Stop() override {
        ++s_.stops;
        return S_OK;
    }
    // Three packets per event.
    HRESULT GetNextPacketSize(UINT32& frames) override {
        const size_t left = s_.samples.size() - position_;
        frames = inEvent_ < 3 ? static_cast<UINT32>(std::min<size_t>(kPacketFrames, left)) : 0;
        return S_OK;
    }
    HRESULT GetBuffer(BYTE*& data, UINT32& frames, DWORD& flags) override {
        GetNextPacketSize(frames);
        data = reinterpret_cast<BYTE*>(s_.samples.data() + position_);
        flags = 0;
        return S_OK;
    }
    HRESULT ReleaseBuffer(UINT32 frames) override {
        position_ += frames;
        ++inEvent_;
        return S_OK;
    }
    HRESULT SetMasterVolumeLevel(float) override { return S_OK; }
    HRESULT SetMasterVolumeLevelScalar(float level) override {
        s_.scalars.push_back(level);
        return S_OK;
    }
    HRESULT SetMute(BOOL mute) override {
        s_.mutes.push_back(mute);
        return S_OK;
    }
    DWORD Wait(HANDLE, DWORD) override {
        inEvent_ = 0;
        if (s_.quietWaits > 0) {
            --s_.quietWaits;
            return WAIT_TIMEOUT;
        }
        return position_ < s_.samples.size() ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    }

private:
    Script& s_;
    size_t position_ = 0;
    int inEvent_ = 0;
};

class FakeEndpoints final : public EndpointSystem {
public:
    explicit FakeEndpoints(Script& s) : s_(s) {}
    std::vector<std::wstring> names{L"Line In (High Definition Audio)",
                                    L"Microphone (USB Audio TSL-1 Corvana)"};
    HRESULT enumeration = S_OK;
    Step failAt = Step::Item;
    bool failOpen = false;

    HRESULT Enumerate(std::vector<std::wstring>& out) override {
        out = names;
        return enumeration;
    }
    HRESULT Open(UINT index, std::unique_ptr<EndpointStream>& stream, Step& failed) override {
        EXPECT_EQ(index, 1u);
        if (failOpen) {
            failed = failAt;
            return E_FAIL;
        }
        stream = std::make_unique<FakeStream>(s_);
        return S_OK;
    }
    std::wstring SystemText(HRESULT code) override {
        return code == E_FAIL ? L"Unspecified error\r\n" : L"";
    }

private:
    Script& s_;
};

std::shared_ptr<AudioRec> Open(Script& s, std::shared_ptr<FakeEndpoints>* system = nullptr) {
    auto endpoints = std::make_shared<FakeEndpoints>(s);
    if (system)
        *system = endpoints;
    auto enumerator = CreateEndpointEnumerator(endpoints);
    EXPECT_EQ(enumerator->FindDevice(RecordingDeviceTokens()),
              L"Microphone (USB Audio TSL-1 Corvana)");
    return enumerator->OpenRecorder();
}

TEST(EndpointRecorder, RecordsTheSweepFromPacketsInTheCaptureFormat) {
    Script s;
    auto recorder = Open(s);
    recorder->SetInputLevel(65535);
    EXPECT_FLOAT_EQ(s.scalars.at(0), 0.9999847f);
    EXPECT_EQ(s.mutes.at(0), FALSE);
    auto sink = std::make_shared<SyncCap>();
    recorder->Record(sink);
    EXPECT_EQ(s.format.Format.wFormatTag, 0xFFFE);
    EXPECT_EQ(s.format.Format.nSamplesPerSec, 48000u);
    EXPECT_EQ(s.format.Format.wBitsPerSample, 16);
    EXPECT_EQ(s.format.Format.cbSize, 22);
    EXPECT_EQ(s.format.dwChannelMask, 1u);
    EXPECT_EQ(s.duration, 5000000);
    EXPECT_EQ(s.periodicity, 5000000);
    EXPECT_EQ(s.starts, 1);
    EXPECT_EQ(s.stops, 1);
    ASSERT_EQ(sink->Position(), kCaptureSamples);
    auto buffer = WaitForCapture(*sink);
    ASSERT_TRUE(buffer);
    EXPECT_DOUBLE_EQ((*buffer)[1], 32767.0 / 65536.0);
    EXPECT_DOUBLE_EQ((*buffer)[2], -0.5);
    for (size_t i = 0; i < buffer->size(); ++i)
        ASSERT_EQ((*buffer)[i], s.samples[i] / 65536.0) << i;
}

TEST(EndpointRecorder, SixQuietWaitsInARowEndTheCaptureFiveDoNot) {
    Script five;
    five.quietWaits = 5;
    auto sink = std::make_shared<SyncCap>();
    Open(five)->Record(sink);
    EXPECT_EQ(sink->Position(), kCaptureSamples);

    Script six;
    six.quietWaits = 6;
    try {
        Open(six)->Record(std::make_shared<SyncCap>());
        ADD_FAILURE() << "a silent device recorded";
    } catch (const tsl::wruntime_error& e) {
        EXPECT_EQ(e.wwhat(), kCaptureConnectionText);
    }
}

TEST(EndpointRecorder, FailuresToOpenOrEnumerateSayWhich) {
    Script s;
    auto endpoints = std::make_shared<FakeEndpoints>(s);
    endpoints->failOpen = true;
    endpoints->failAt = EndpointSystem::Step::AudioClient;
    auto enumerator = CreateEndpointEnumerator(endpoints);
    try {
        enumerator->FindDevice(RecordingDeviceTokens());
        ADD_FAILURE();
    } catch (const tsl::wruntime_error& e) {
        EXPECT_EQ(e.wwhat(),
                  L"The audio device 'Microphone (USB Audio TSL-1 Corvana)' exists, but it is not "
                  L"available.\n");
    }
    endpoints->enumeration = E_FAIL;
    try {
        enumerator->DeviceNames();
        ADD_FAILURE();
    } catch (const tsl::wruntime_error& e) {
        EXPECT_EQ(e.wwhat(), L"Audio device enumeration failed Unspecified error");
    }
    EXPECT_EQ(HrException(0x88890004u).wwhat().substr(0, 44),
              L"Core Audio Interface error 0x88890004 (The a");
}

// Whatever the system reports: here wine's audio, usually nothing without a sound card.
TEST(WindowsRecorders, TheSystemsEnumerationsListWithoutFailing) {
    EXPECT_NO_THROW(CreateEnumerator()->DeviceNames());
    EXPECT_NO_THROW(CreateWaveEnumerator()->DeviceNames());
}

}  // namespace
