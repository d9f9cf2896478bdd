// The real capture path without a sound card: an ALSA PCM that reads a prepared capture file,
// found by name through PortAudio and recorded by the recording device.

#include <gtest/gtest.h>

#include <unistd.h>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "measure/AudioDevice.h"
#include "measure/PortAudioRecorder.h"

using namespace AudioSampler;

namespace {

constexpr int kFileSamples = 300000;

// Distinct values so that a captured stretch can be located in the file.
std::int16_t FileSample(int i) {
    return static_cast<std::int16_t>((i * 7) % 65536 - 32768);
}

class PortAudioFileCapture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        home_ = std::filesystem::temp_directory_path() /
                ("tsl_portaudio_" + std::to_string(::getpid()));
        std::filesystem::create_directories(home_);
        const auto raw = home_ / "capture.raw";
        std::ofstream out(raw, std::ios::binary);
        for (int i = 0; i < kFileSamples; ++i) {
            const std::int16_t s = FileSample(i);
            const char bytes[2] = {static_cast<char>(s & 0xFF), static_cast<char>((s >> 8) & 0xFF)};
            out.write(bytes, 2);
        }
        out.close();
        std::ofstream rc(home_ / ".asoundrc");
        rc << "pcm.TSL1_Corvana { type file; slave.pcm \"null\"; file \"/dev/null\"; infile \""
           << raw.string() << "\"; format \"raw\" }\n";
        rc.close();
        // ALSA reads the user's configuration from HOME the first time it is used.
        setenv("HOME", home_.c_str(), 1);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(home_); }

    static std::filesystem::path home_;
};

std::filesystem::path PortAudioFileCapture::home_;

}  // namespace

TEST_F(PortAudioFileCapture, RecordsThePreparedSamplesThroughTheMatchingDevice) {
    std::vector<std::wstring> names;
    try {
        names = CreatePortAudioEnumerator()->DeviceNames();
    } catch (const std::exception& e) {
        GTEST_SKIP() << "PortAudio unavailable: " << e.what();
    }
    if (MatchDevice(names, {L"TSL1_Corvana"}) < 0)
        GTEST_SKIP() << "PortAudio lists no TSL1_Corvana input device";

    WaveReccordDevice device(Threading::RealClock::Instance(), CreatePortAudioEnumerator);
    device.SetInputLevel(LevelForCalibrationVersion(3));
    ASSERT_TRUE(device.Open()) << tsl::ToUtf8(device.LastError());
    EXPECT_EQ(device.DeviceName(), L"TSL1_Corvana");
    ASSERT_TRUE(device.Start()) << tsl::ToUtf8(device.LastError());
    CurvePtr curve;
    ASSERT_TRUE(device.Result(curve)) << tsl::ToUtf8(device.LastError());
    ASSERT_TRUE(device.Stop()) << tsl::ToUtf8(device.LastError());
    ASSERT_EQ(curve->Count(), kCaptureSamples);

    // The capture is a gap-free stretch of the file, scaled by 1/65536.
    const double* x = curve->First();
    const int first = static_cast<int>(std::lround(x[0] * 65536.0));
    int start = -1;
    for (int i = 0; i + kCaptureSamples <= kFileSamples; ++i)
        if (FileSample(i) == first) {
            start = i;
            break;
        }
    ASSERT_GE(start, 0);
    int mismatches = 0;
    for (int i = 0; i < kCaptureSamples; ++i)
        if (x[i] != FileSample(start + i) / 65536.0)
            ++mismatches;
    EXPECT_EQ(mismatches, 0) << "capture starts at file sample " << start;
}

TEST_F(PortAudioFileCapture, NamesTheDevicesFoundWhenNoneMatches) {
    EnumeratorPtr enumerator;
    try {
        enumerator = CreatePortAudioEnumerator();
    } catch (const std::exception& e) {
        GTEST_SKIP() << "PortAudio unavailable: " << e.what();
    }
    try {
        enumerator->FindDevice({L"NoSuchMicrophone-XYZ"});
        FAIL() << "nothing should match";
    } catch (const tsl::wruntime_error& e) {
        EXPECT_EQ(e.wwhat().rfind(L"No audio recording devices matching ''NoSuchMicrophone-XYZ'' "
                                  L"found.\nThe following audio recording devices were found on "
                                  L"the system: ",
                                  0),
                  0u);
    }
}
