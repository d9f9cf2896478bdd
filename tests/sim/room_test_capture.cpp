// Captures of the simulated microphone through the recording device: silence without the tone,
// and a measurement that recovers the subwoofer in its room once the microphone is corrected.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "correction/EqResult.h"
#include "measure/AudioDevice.h"
#include "measure/CorrectionManager.h"
#include "measure/Impulse.h"
#include "sim/SimMicrophone.h"
#include "sublink/BaseConfig.h"
#include "sublink/FlashConfig.h"

using namespace Sim;

namespace {

struct Scene {
    Scene() {
        subwoofer = std::make_shared<SimDevice>();
        acoustics = std::make_shared<SimAcoustics>(subwoofer, SimRoom(), SimMicrophone(), clock);
    }
    void Tone(bool on) {
        const std::string text = on ? "t2;" : "t0;";
        subwoofer->With([&](SimFirmware& f) {
            f.Receive(reinterpret_cast<const uint8_t*>(text.data()), text.size());
            std::vector<uint8_t> packet;
            while (f.NextPacket(packet)) {
            }
        });
    }
    CurvePtr Capture() {
        AudioSampler::WaveReccordDevice device(clock, acoustics->EnumeratorFactory());
        device.SetInputLevel(AudioSampler::LevelForCalibrationVersion(3));
        EXPECT_TRUE(device.Open()) << tsl_text(device.LastError());
        EXPECT_TRUE(device.Start());
        CurvePtr curve;
        EXPECT_TRUE(device.Result(curve)) << tsl_text(device.LastError());
        device.Stop();
        return curve;
    }
    static std::string tsl_text(const std::wstring& w) { return std::string(w.begin(), w.end()); }

    Threading::VirtualClock clock{std::chrono::milliseconds(20)};
    std::shared_ptr<SimDevice> subwoofer;
    std::shared_ptr<SimAcoustics> acoustics;
};

double Rms(const CCurve& c) {
    double s = 0;
    for (int i = 0; i < c.Count(); ++i)
        s += c.First()[i] * c.First()[i];
    return std::sqrt(s / std::max(c.Count(), 1));
}

}  // namespace

TEST(SimCaptureTest, SilenceWhileTheToneIsOff) {
    Scene scene;
    const CurvePtr quiet = scene.Capture();
    ASSERT_TRUE(quiet);
    ASSERT_EQ(quiet->Count(), 196608);
    // Background noise of -80 dB full scale, stored at half scale.
    EXPECT_LT(Rms(*quiet), 2e-4);
    scene.Tone(true);
    const CurvePtr loud = scene.Capture();
    ASSERT_TRUE(loud);
    EXPECT_GT(Rms(*loud), 100 * Rms(*quiet));
}

TEST(SimCaptureTest, FollowsTheMovePromptAndHearsADifferentRoom) {
    Scene scene;
    EXPECT_TRUE(scene.acoustics->FollowPrompt(
        L"Please move the microphone to position 3, and then click OK."));
    EXPECT_EQ(scene.acoustics->Position(), 2);
    EXPECT_FALSE(scene.acoustics->FollowPrompt(
        L"No audio reccorded!\nPress OK to retry this position, CANCEL to abort."));
    EXPECT_EQ(scene.acoustics->Position(), 2);
}

TEST(SimCaptureTest, MeasurementRecoversSubwooferTimesRoomAfterCalibration) {
    Scene scene;
    const auto dir =
        std::filesystem::temp_directory_path() / ("tsl_room_capture_" + std::to_string(::getpid()));
    const auto path = scene.acoustics->Microphone().WriteCalibrationFile(dir);
    const CurvePtr reference = Fft(*SweepReference(kSweepLength, kSweepRate));
    for (int position : {0, 3}) {
        scene.acoustics->MoveTo(position);
        scene.Tone(true);
        const CurvePtr captured = scene.Capture();
        scene.Tone(false);
        ASSERT_TRUE(captured);

        ImpulseContext context;
        context.smoothing = kMeasurementSmoothing;
        context.correction = AudioSampler::LoadCorrectionFile(path, 0, reference);
        context.capture = std::make_shared<CaptureBlock>();
        context.capture->samples.assign(captured->First(), captured->First() + captured->Count());
        context.capture->capturedCount = captured->Count();
        context.capture->subwooferMode = true;
        const CurvePtr measured = MeasureResponse(context);
        ASSERT_TRUE(measured);
        ToDbPhase(*measured);

        // The expected response on a fine logarithmic grid (a corrected response lies on the
        // calibration file's), smoothed as a measurement is.
        const int n = 1024;
        auto expected = std::make_shared<CCurve>(n, AxisKind::Frequency, DataFormat::Cartesian);
        for (int i = 0; i < n; ++i) {
            const double f = 5.0 * std::pow(24000.0 / 5.0, i / (n - 1.0));
            const auto h = scene.acoustics->AcousticResponse(position, f);
            expected->X()[i] = f;
            expected->First()[i] = h.real();
            expected->Second()[i] = h.imag();
        }
        Smooth(*expected, kMeasurementSmoothing.fraction, kMeasurementSmoothing.pointsPerOctave,
               kMeasurementSmoothing.lowest, kMeasurementSmoothing.highest,
               kMeasurementSmoothing.normalise);
        ToDbPhase(*expected);

        // Compare shapes: the level offset is the capture scale and the input gain.
        std::vector<std::pair<double, double>> diffs;
        for (int i = 0; i < measured->Count(); ++i) {
            const double f = measured->X()[i];
            if (f >= 25.0 && f <= 250.0)
                diffs.emplace_back(f, measured->First()[i] - ValueAt(*expected, f).first);
        }
        ASSERT_GT(diffs.size(), 20u);
        double mean = 0;
        for (const auto& d : diffs)
            mean += d.second;
        mean /= static_cast<double>(diffs.size());
        double worst = 0, square = 0;
        for (const auto& d : diffs) {
            worst = std::max(worst, std::abs(d.second - mean));
            square += (d.second - mean) * (d.second - mean);
        }
        const double rms = std::sqrt(square / static_cast<double>(diffs.size()));
        RecordProperty("offset_db_position_" + std::to_string(position), std::to_string(mean));
        // Narrow room modes lose a little to the measurement's impulse window; the shape holds
        // to about half a decibel overall.
        EXPECT_LT(rms, 0.6) << "position " << position;
        EXPECT_LT(worst, 2.0) << "position " << position << ", offset " << mean << " dB";
        std::printf("position %d: offset %.2f dB, deviation rms %.2f dB, worst %.2f dB\n", position,
                    mean, rms, worst);
    }
    std::filesystem::remove_all(dir);
}

TEST(SimCaptureTest, HearsTheEqualiserHeldInFlash) {
    Scene scene;
    const double before = std::abs(scene.acoustics->AcousticResponse(1, 40.0));
    // A +6 dB peak at 40 Hz, at the equaliser's 3000 Hz rate (cookbook peaking section).
    const double w = 2.0 * M_PI * 40.0 / 3000.0, a = std::pow(10.0, 6.0 / 40.0);
    const double alpha = std::sin(w) / (2.0 * 3.0), a0 = 1.0 + alpha / a;
    SectionArrays s = SectionArrays::Identity(1);
    s.b0[0] = (1.0 + alpha * a) / a0;
    s.b1[0] = -2.0 * std::cos(w) / a0;
    s.b2[0] = (1.0 - alpha * a) / a0;
    s.a1[0] = -2.0 * std::cos(w) / a0;
    s.a2[0] = (1.0 - alpha / a) / a0;
    EqResult result;
    result.bands = {GetBand(s, 0)};
    scene.subwoofer->With([&](SimFirmware& f) {
        ASSERT_TRUE(f.Model() && f.Model()->flashConfig);
        const auto& b = f.Model()->flashConfig->EqualiserBlock();
        const auto block = BuildEqBlock(result, false, b.length);
        ASSERT_TRUE(block);
        auto region = f.Region(b.memory, b.region);
        ASSERT_GE(region.size(), b.offset + block->size());
        std::copy(block->begin(), block->end(), region.begin() + b.offset);
        f.SetRegion(b.memory, b.region, region);
    });
    const double after = std::abs(scene.acoustics->AcousticResponse(1, 40.0));
    EXPECT_NEAR(20.0 * std::log10(after / before), 6.0, 0.1);

    // A capture is paced by the clock: 41 blocks of 100 ms fill three sweep periods.
    scene.Tone(true);
    const CurvePtr captured = scene.Capture();
    ASSERT_TRUE(captured);
    EXPECT_GE(scene.clock.Elapsed(), std::chrono::milliseconds(4100));
}

TEST(SimCaptureTest, PositionPromptMovesTheMicrophoneOnOk) {
    struct Answer final : Threading::IPrompt {
        Threading::MsgResult result = Threading::MsgResult::Ok;
        Threading::MsgResult MessageBox(const std::wstring&, const std::wstring&,
                                        Threading::MsgButtons, Threading::MsgIcon) override {
            return result;
        }
        std::optional<size_t> Choose(const std::wstring&,
                                     const std::vector<std::wstring>&) override {
            return 0;
        }
    } inner;
    Scene scene;
    SimPositionPrompt prompt(inner, scene.acoustics);
    const std::wstring move = L"Please move the microphone to position 4, and then click OK.";
    inner.result = Threading::MsgResult::Cancel;
    EXPECT_EQ(
        prompt.MessageBox(move, L"", Threading::MsgButtons::OkCancel, Threading::MsgIcon::None),
        Threading::MsgResult::Cancel);
    EXPECT_EQ(scene.acoustics->Position(), 0);
    inner.result = Threading::MsgResult::Ok;
    prompt.MessageBox(move, L"", Threading::MsgButtons::OkCancel, Threading::MsgIcon::None);
    EXPECT_EQ(scene.acoustics->Position(), 3);
}

// A continuous capture may be timed by a clock of its own (real time in the window program)
// while the scene's clock keeps the subwoofer's waits.
TEST(SimCaptureTest, APaceClockTimesTheMicrophonesBlocks) {
    Scene scene;
    Threading::VirtualClock pace;
    AudioSampler::WaveReccordDevice device(scene.clock, scene.acoustics->EnumeratorFactory(&pace));
    ASSERT_TRUE(device.Open());
    ASSERT_TRUE(device.Start());
    CurvePtr curve;
    ASSERT_TRUE(device.Result(curve));
    device.Stop();
    // 196608 samples in blocks of 100 ms (4800 samples): 41 blocks.
    EXPECT_EQ(pace.Elapsed(), std::chrono::milliseconds(4100));
}
