// The simulated microphone as a capture device: the scene's steady-state signal, streamed in
// real time through the clock into the capture sink, behind the recorder interface.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cwctype>
#include <random>
#include <thread>

#include "measure/Impulse.h"
#include "measure/Transform.h"
#include "sim/SimMicrophone.h"
#include "sim/SimRoomEqualiser.h"
#include "sublink/BaseConfig.h"
#include "threading/Errors.h"

namespace Sim {

namespace {

constexpr int kPeriod = 65536;
constexpr double kRate = 48000.0;
// The recorder's own block: 100 ms.
constexpr int kBlock = 4800;
constexpr std::chrono::milliseconds kBlockDuration{100};
// The level the measurement sets for a version 2 or 3 microphone gives unity gain.
constexpr std::int32_t kUnityLevel = 8192;

struct Equaliser {
    std::vector<std::uint8_t> image;
    double rate = 3000;
};

Equaliser ReadEqualiser(SimDevice& device) {
    return device.With([](SimFirmware& f) {
        Equaliser e;
        e.image = f.EqualiserImage();
        if (f.Model() && f.Model()->eqSampleRate > 0)
            e.rate = f.Model()->eqSampleRate;
        return e;
    });
}

}  // namespace

class SimRecorder final : public AudioSampler::AudioRec {
public:
    // pace (null: the scene's clock) times the blocks.
    SimRecorder(std::shared_ptr<SimAcoustics> scene, Threading::IClock* pace)
        : scene_(std::move(scene)), pace_(pace ? *pace : scene_->Clock()) {}
    ~SimRecorder() override { Stop(); }

    void SetInputLevelDb(float decibels) override {
        level_ = static_cast<std::int32_t>(
            std::clamp(65536.0 * std::pow(10.0, decibels / 20.0), 0.0, 65535.0));
    }
    void SetInputVolume(float fraction) override {
        level_ = static_cast<std::int32_t>(std::clamp(fraction * 65536.0, 0.0, 65535.0));
    }
    void SetInputLevel(std::int32_t level) override { level_ = std::clamp(level, 0, 65535); }

    void Record(const std::shared_ptr<AudioSampler::BaseAudioCap>& sink) override {
        Start(sink);
        if (thread_.joinable())
            thread_.join();
        Stop();
    }

    void Start(const std::shared_ptr<AudioSampler::BaseAudioCap>& sink) override {
        if (!sink)
            throw tsl::wruntime_error(
                AudioSampler::StartStreamingFailedText(scene_->Microphone().Options().deviceName));
        const auto format = sink->Format();
        if (!format || format->bitsPerSample != 16 || format->samplesPerSec != 48000)
            throw tsl::wruntime_error(
                AudioSampler::ErrorText(AudioSampler::kAudioUnsupportedFormat));
        Stop();
        sink->Arm();
        stop_ = false;
        thread_ = std::thread([this, sink] { Run(sink); });
    }

    void Stop() override {
        stop_ = true;
        if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
            thread_.join();
    }

private:
    void Run(std::shared_ptr<AudioSampler::BaseAudioCap> sink) {
        Threading::IClock& clock = scene_->Clock();
        // The sweep repeats in real time: the clock says where in its period the capture begins.
        const auto since =
            std::chrono::duration_cast<std::chrono::microseconds>(clock.Now().time_since_epoch());
        long long sample = since.count() * 48 / 1000;
        std::mt19937 random(static_cast<std::uint32_t>(sample) ^ 0x5EED5EEDu);
        std::normal_distribution<double> noise(0.0, 1.0);
        const double noiseRms = scene_->Room().NoiseRms();
        std::vector<std::int16_t> block(kBlock);
        bool done = false;
        while (!done && !stop_) {
            pace_.SleepFor(kBlockDuration);
            if (stop_)
                break;
            const std::shared_ptr<const std::vector<double>> period = scene_->CurrentPeriod();
            const double gain = SimAcoustics::InputGain(level_.load());
            for (int i = 0; i < kBlock; ++i, ++sample) {
                double v = noiseRms * noise(random);
                if (period)
                    v += (*period)[static_cast<std::size_t>(sample % kPeriod)];
                const double q = std::round(v * gain * 32768.0);
                block[static_cast<std::size_t>(i)] =
                    static_cast<std::int16_t>(std::clamp(q, -32768.0, 32767.0));
            }
            const AudioSampler::AudioResult result =
                sink->DeliverSamples(block.data(), kBlock, done);
            if (result != AudioSampler::kAudioOk) {
                sink->Ended(AudioSampler::ErrorText(result));
                break;
            }
        }
    }

    std::shared_ptr<SimAcoustics> scene_;
    Threading::IClock& pace_;
    std::atomic<std::int32_t> level_{kUnityLevel};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

namespace {

class SimEnumerator final : public AudioSampler::AudioRecEnumerator {
public:
    SimEnumerator(std::shared_ptr<SimAcoustics> scene, Threading::IClock* pace)
        : scene_(std::move(scene)), pace_(pace) {}

    std::vector<std::wstring> DeviceNames() override {
        return {L"Built-in Audio Analog Stereo", scene_->Microphone().Options().deviceName};
    }
    std::wstring FindDevice(const std::vector<std::wstring>& accepted) override {
        const auto names = DeviceNames();
        return names[static_cast<std::size_t>(AudioSampler::ChooseDevice(names, accepted))];
    }
    std::shared_ptr<AudioSampler::AudioRec> OpenRecorder() override {
        return std::make_shared<SimRecorder>(scene_, pace_);
    }

private:
    std::shared_ptr<SimAcoustics> scene_;
    Threading::IClock* pace_;
};

}  // namespace

SimAcoustics::SimAcoustics(std::shared_ptr<SimDevice> subwoofer, SimRoom room,
                           SimMicrophone microphone, Threading::IClock& clock)
    : subwoofer_(std::move(subwoofer)),
      room_(std::move(room)),
      microphone_(std::move(microphone)),
      clock_(clock) {}

void SimAcoustics::MoveTo(int position) {
    std::lock_guard<std::mutex> g(lock_);
    position_ = position;
}

int SimAcoustics::Position() const {
    std::lock_guard<std::mutex> g(lock_);
    return position_;
}

bool SimAcoustics::FollowPrompt(const std::wstring& text) {
    static const std::wstring key = L"position ";
    const auto at = text.find(key);
    if (at == std::wstring::npos)
        return false;
    std::size_t i = at + key.size();
    int n = 0;
    bool digits = false;
    while (i < text.size() && std::iswdigit(text[i]) && n < 100000) {
        n = n * 10 + (text[i] - L'0');
        ++i;
        digits = true;
    }
    if (!digits || n < 1)
        return false;
    MoveTo(n - 1);
    return true;
}

double SimAcoustics::InputGain(std::int32_t level) {
    return AudioSampler::LevelToScalar(level) / AudioSampler::LevelToScalar(kUnityLevel);
}

std::complex<double> SimAcoustics::AcousticResponse(int position, double frequency) const {
    const Equaliser eq = ReadEqualiser(*subwoofer_);
    return room_.LevelGain() * room_.Subwoofer(frequency) *
           EqualiserResponse(DecodeEqualiser(eq.image), frequency, eq.rate) *
           room_.Response(position, frequency);
}

std::vector<double> SimAcoustics::SteadyStatePeriod(int position) const {
    const Equaliser eq = ReadEqualiser(*subwoofer_);
    const std::vector<Biquad> sections = DecodeEqualiser(eq.image);
    const CurvePtr sweep = SweepReference(kPeriod, kRate);
    std::vector<double> re(sweep->First(), sweep->First() + kPeriod);
    std::vector<double> im(kPeriod, 0.0);
    TransformInPlace(fft::kForward, kPeriod, re.data(), im.data());
    const double level = room_.LevelGain();
    for (int k = 0; k <= kPeriod / 2; ++k) {
        const double f = k * kRate / kPeriod;
        const std::complex<double> h = level * room_.Subwoofer(f) *
                                       EqualiserResponse(sections, f, eq.rate) *
                                       room_.Response(position, f) * microphone_.Response(f);
        const std::complex<double> y = std::complex<double>(re[k], im[k]) * h;
        re[k] = y.real();
        im[k] = y.imag();
        if (k > 0 && k < kPeriod / 2) {
            re[kPeriod - k] = y.real();
            im[kPeriod - k] = -y.imag();
        }
    }
    im[kPeriod / 2] = 0.0;
    TransformInPlace(fft::kInverse, kPeriod, re.data(), im.data());
    return re;
}

std::shared_ptr<const std::vector<double>> SimAcoustics::CurrentPeriod() {
    const bool playing = subwoofer_->With([](SimFirmware& f) { return f.ToneOn(); });
    if (!playing)
        return nullptr;
    const Equaliser eq = ReadEqualiser(*subwoofer_);
    std::lock_guard<std::mutex> g(lock_);
    if (!period_ || periodPosition_ != position_ || periodImage_ != eq.image) {
        periodPosition_ = position_;
        periodImage_ = eq.image;
        period_ = std::make_shared<const std::vector<double>>(SteadyStatePeriod(position_));
    }
    return period_;
}

AudioSampler::EnumeratorPtr SimAcoustics::CreateEnumerator(Threading::IClock* pace) {
    return std::make_shared<SimEnumerator>(shared_from_this(), pace);
}

AudioSampler::EnumeratorFactory SimAcoustics::EnumeratorFactory(Threading::IClock* pace) {
    std::weak_ptr<SimAcoustics> weak = weak_from_this();
    return [weak, pace]() -> AudioSampler::EnumeratorPtr {
        if (auto scene = weak.lock())
            return scene->CreateEnumerator(pace);
        return nullptr;
    };
}

Threading::MsgResult SimPositionPrompt::MessageBox(const std::wstring& text,
                                                   const std::wstring& caption,
                                                   Threading::MsgButtons buttons,
                                                   Threading::MsgIcon icon) {
    const Threading::MsgResult result = inner_.MessageBox(text, caption, buttons, icon);
    if (result == Threading::MsgResult::Ok && acoustics_)
        acoustics_->FollowPrompt(text);
    return result;
}

}  // namespace Sim
