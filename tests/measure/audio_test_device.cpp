// The recording device over a fake recorder: opening by name, the remembered input level, the
// captured curve and the texts left for the caller.

#include <gtest/gtest.h>

#include "audio_test_support.h"
#include "measure/AudioDevice.h"

using namespace AudioSampler;
using audiotest::FakeEnumerator;
using audiotest::FakeRecorder;

namespace {

std::vector<std::int16_t> Ramp(std::size_t n) {
    std::vector<std::int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::int16_t>(static_cast<int>(i % 2000) - 1000);
    return v;
}

struct Rig {
    explicit Rig(std::vector<std::wstring> names = {L"Built-in Mic", L"USB Audio (TSL-1 Corvana)"},
                 std::size_t samples = kCaptureSamples)
        : recorder(std::make_shared<FakeRecorder>(Ramp(samples))),
          device(clock,
                 [names, r = recorder] { return std::make_shared<FakeEnumerator>(names, r); }) {}

    Threading::VirtualClock clock{std::chrono::milliseconds(1)};
    std::shared_ptr<FakeRecorder> recorder;
    WaveReccordDevice device;
};

}  // namespace

TEST(WaveReccordDeviceTest, RecordsThreeSweepPeriodsIntoATimeCurve) {
    Rig rig;
    rig.device.SetInputLevel(8192);
    ASSERT_TRUE(rig.device.Open());
    EXPECT_EQ(rig.device.LastError(), L"No error.");
    EXPECT_EQ(rig.device.DeviceName(), L"USB Audio (TSL-1 Corvana)");
    // A level set before the recorder existed is applied at open.
    EXPECT_EQ(rig.recorder->levels, std::vector<std::int32_t>{8192});
    ASSERT_TRUE(rig.device.Start());
    CurvePtr curve;
    ASSERT_TRUE(rig.device.Result(curve));
    ASSERT_TRUE(curve);
    ASSERT_EQ(curve->Count(), 196608);
    EXPECT_DOUBLE_EQ(curve->X()[1] - curve->X()[0], 1.0 / 48000.0);
    EXPECT_DOUBLE_EQ(curve->First()[0], -1000.0 / 65536.0);
    EXPECT_DOUBLE_EQ(curve->First()[1999], 999.0 / 65536.0);
    ASSERT_TRUE(rig.device.Stop());
    EXPECT_EQ(rig.device.LastError(), L"No error.");
    EXPECT_EQ(rig.recorder->stops, 1);
}

TEST(WaveReccordDeviceTest, LevelGoesStraightToAnOpenRecorder) {
    Rig rig;
    ASSERT_TRUE(rig.device.Open());
    EXPECT_TRUE(rig.recorder->levels.empty());
    rig.device.SetInputLevel(16384);
    EXPECT_EQ(rig.recorder->levels, std::vector<std::int32_t>{16384});
    // A second open keeps the recorder.
    ASSERT_TRUE(rig.device.Open());
    EXPECT_EQ(rig.recorder->levels.size(), 1u);
}

TEST(WaveReccordDeviceTest, OpenFailureLeavesTheMatchingText) {
    Rig rig({L"HDA Intel"});
    EXPECT_FALSE(rig.device.Open());
    EXPECT_EQ(rig.device.LastError(),
              L"No audio recording devices matching ''Vireon', 'Corvana', 'VRC', 'TSL'' found.\n"
              L"The following audio recording devices were found on the system: 'HDA Intel'");
    EXPECT_FALSE(rig.device.Start());
}

TEST(WaveReccordDeviceTest, AnyDeviceCanBeChosenByName) {
    Rig rig({L"HDA Intel", L"Lab Mic 7"});
    rig.device.SetAcceptedNames({L"Mic 7"});
    EXPECT_TRUE(rig.device.Open());
    EXPECT_EQ(rig.device.DeviceName(), L"Lab Mic 7");
    Rig other;
    other.device.SetAcceptedNames({L"Lab"});
    EXPECT_FALSE(other.device.Open());
    EXPECT_NE(other.device.LastError().find(L"matching ''Lab'' found"), std::wstring::npos);
}

TEST(WaveReccordDeviceTest, StartFailureLeavesTheRecorderText) {
    Rig rig;
    ASSERT_TRUE(rig.device.Open());
    rig.recorder->failStart = true;
    EXPECT_FALSE(rig.device.Start());
    EXPECT_EQ(rig.device.LastError(),
              L"Could not start audio streaming for the device 'fake'\nIt may have been "
              L"disconnected");
}

TEST(WaveReccordDeviceTest, ACaptureThatNeverFillsGivesNoCurve) {
    Rig rig({L"TSL-1 Corvana"}, 1000);
    ASSERT_TRUE(rig.device.Open());
    ASSERT_TRUE(rig.device.Start());
    CurvePtr curve;
    EXPECT_FALSE(rig.device.Result(curve));
    EXPECT_FALSE(curve);
    EXPECT_EQ(rig.device.LastError(),
              L"Audio capture error, check the connection between the microphone and your PC.");
    EXPECT_EQ(rig.clock.Elapsed(), std::chrono::milliseconds(6144));
}

TEST(WaveReccordDeviceTest, EachStartRearmsTheSink) {
    Rig rig;
    ASSERT_TRUE(rig.device.Open());
    CurvePtr first, second;
    ASSERT_TRUE(rig.device.Start());
    ASSERT_TRUE(rig.device.Result(first));
    const SampleBuffer held = rig.device.Samples();
    ASSERT_TRUE(rig.device.Start());
    ASSERT_TRUE(rig.device.Result(second));
    EXPECT_EQ(rig.recorder->starts, 2);
    EXPECT_NE(held, rig.device.Samples());
    EXPECT_EQ(first->Count(), second->Count());
}
