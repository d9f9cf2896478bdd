// The capture sink, device matching and its texts, the level arithmetic and the error texts.

#include <gtest/gtest.h>

#include <numeric>
#include <thread>

#include "audio_test_support.h"
#include "measure/AudioCapture.h"
#include "measure/AudioRec.h"
#include "measure/AudioWatchdog.h"

using namespace AudioSampler;

TEST(CaptureFormatTest, IsFortyEightKilohertzSixteenBitMonoExtensible) {
    const CaptureFormat f;
    EXPECT_EQ(f.formatTag, 0xFFFE);
    EXPECT_EQ(f.channels, 1);
    EXPECT_EQ(f.samplesPerSec, 48000u);
    EXPECT_EQ(f.avgBytesPerSec, 96000u);
    EXPECT_EQ(f.blockAlign, 2);
    EXPECT_EQ(f.bitsPerSample, 16);
    EXPECT_EQ(f.extensionSize, 22);
    EXPECT_EQ(f.validBitsPerSample, 16);
    EXPECT_EQ(f.channelMask, 1u);
    // Data1 = 1 little-endian, Data2 = 0, Data3 = 0x0010, then 80 00 00 AA 00 38 9B 71.
    EXPECT_EQ(f.subFormat[0], 0x01);
    EXPECT_EQ(f.subFormat[6], 0x10);
    EXPECT_EQ(f.subFormat[8], 0x80);
    EXPECT_EQ(f.subFormat[15], 0x71);
}

TEST(SyncCapTest, SixteenBitSamplesAreScaledByTwoToTheSixteen) {
    SyncCap sink;
    const std::int16_t samples[] = {32767, -32768, 0, 16384};
    bool done = false;
    EXPECT_EQ(sink.DeliverSamples(samples, 4, done), kAudioOk);
    EXPECT_FALSE(done);
    EXPECT_EQ(sink.Position(), 4);
    // Read the values back through a full capture.
    SyncCap small(4);
    small.DeliverSamples(samples, 4, done);
    ASSERT_TRUE(done);
    Threading::VirtualClock clock;
    const SampleBuffer buffer = WaitForCapture(small, clock);
    ASSERT_TRUE(buffer);
    EXPECT_NEAR((*buffer)[0], 0.4999847, 1e-7);
    EXPECT_DOUBLE_EQ((*buffer)[1], -0.5);
    EXPECT_DOUBLE_EQ((*buffer)[2], 0.0);
    EXPECT_DOUBLE_EQ((*buffer)[3], 0.25);
}

TEST(SyncCapTest, TakesTheFirstChannelOfEachFrame) {
    auto stereo = std::make_shared<CaptureFormat>();
    stereo->channels = 2;
    SyncCap sink(3, stereo);
    const std::int16_t frames[] = {100, -1, 200, -1, 300, -1};
    bool done = false;
    sink.DeliverSamples(frames, 3, done);
    Threading::VirtualClock clock;
    const SampleBuffer buffer = WaitForCapture(sink, clock);
    ASSERT_TRUE(buffer);
    EXPECT_DOUBLE_EQ((*buffer)[2], 300.0 / 65536.0);
}

TEST(SyncCapTest, RefusesAnythingButSixteenBits) {
    auto wide = std::make_shared<CaptureFormat>();
    wide->bitsPerSample = 24;
    SyncCap sink(kCaptureSamples, wide);
    const std::int16_t samples[] = {1, 2};
    bool done = false;
    EXPECT_EQ(sink.DeliverSamples(samples, 2, done), 0x88890008u);
    EXPECT_EQ(sink.Position(), 0);
}

TEST(SyncCapTest, DropsSamplesBeyondTheTargetAndSignalsFullOnce) {
    SyncCap sink;
    std::vector<double> values(200000, 0.125);
    bool done = false;
    EXPECT_EQ(sink.DeliverDoubles(values.data(), 200000, done), kAudioOk);
    EXPECT_TRUE(done);
    EXPECT_EQ(sink.Position(), 196608);
    Threading::VirtualClock clock;
    const SampleBuffer buffer = WaitForCapture(sink, clock);
    ASSERT_TRUE(buffer);
    EXPECT_EQ(buffer->size(), 196608u);
    EXPECT_EQ(clock.Elapsed(), Threading::IClock::Duration::zero());
}

TEST(SyncCapTest, ResetEmptiesAndZeroesTheTarget) {
    SyncCap sink;
    const double v[] = {1, 2, 3};
    bool done = false;
    sink.DeliverDoubles(v, 3, done);
    sink.Reset();
    EXPECT_EQ(sink.Position(), 0);
    EXPECT_EQ(sink.Target(), 0);
}

TEST(SyncCapTest, AHeldCaptureSurvivesTheNextArming) {
    SyncCap sink(4);
    const double first[] = {1, 2, 3, 4};
    const double second[] = {9, 9, 9, 9};
    bool done = false;
    sink.DeliverDoubles(first, 4, done);
    Threading::VirtualClock clock;
    const SampleBuffer held = WaitForCapture(sink, clock);
    ASSERT_TRUE(held);
    sink.Arm();
    done = false;
    sink.DeliverDoubles(second, 4, done);
    EXPECT_TRUE(done);
    EXPECT_DOUBLE_EQ((*held)[3], 4.0);
    const SampleBuffer next = WaitForCapture(sink, clock);
    ASSERT_TRUE(next);
    EXPECT_DOUBLE_EQ((*next)[3], 9.0);
}

TEST(WaitForCaptureTest, TimesOutAfterOneAndAHalfCaptureDurations) {
    SyncCap sink;
    Threading::VirtualClock clock(std::chrono::milliseconds(1));
    EXPECT_FALSE(WaitForCapture(sink, clock));
    EXPECT_EQ(clock.Elapsed(), std::chrono::milliseconds(6144));
}

TEST(WaitForCaptureTest, AbortEndsTheWaitWithNothing) {
    SyncCap sink;
    Threading::RealClock clock;
    std::thread aborter([&] { sink.Abort(); });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(WaitForCapture(sink, clock));
    aborter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST(WaitForCaptureTest, WakesWhenAnotherThreadFillsTheSink) {
    auto sink = std::make_shared<SyncCap>();
    std::thread producer([sink] {
        std::vector<std::int16_t> block(4800, 1000);
        bool done = false;
        while (!done)
            sink->DeliverSamples(block.data(), 4800, done);
    });
    Threading::RealClock clock;
    const SampleBuffer buffer = WaitForCapture(*sink, clock);
    producer.join();
    ASSERT_TRUE(buffer);
    EXPECT_DOUBLE_EQ(buffer->back(), 1000.0 / 65536.0);
}

TEST(DeviceMatchingTest, FullNamesAndTokens) {
    EXPECT_EQ(MatchDevice({L"USB Audio (TSL-1 Corvana)"}, MainBrandMicrophones()), 0);
    EXPECT_EQ(MatchDevice({L"TSL Corvana"}, MainBrandMicrophones()), -1);
    EXPECT_EQ(MatchDevice({L"TSL Corvana"}, RecordingDeviceTokens()), 0);
    EXPECT_EQ(MatchDevice({L"Vireon VRC-1 mic"}, ThirdBrandMicrophones()), 0);
    EXPECT_EQ(MatchDevice({L"Vireon VRC-1 mic"}, MainBrandMicrophones()), -1);
    EXPECT_EQ(AllMicrophones().size(), 4u);
}

TEST(DeviceMatchingTest, FirstListedDeviceWinsWhateverTheTokenOrder) {
    // "TSL" comes last among the tokens but the device listed first is taken.
    const std::vector<std::wstring> devices{L"Built-in", L"TSL capture", L"Corvana capture"};
    EXPECT_EQ(MatchDevice(devices, RecordingDeviceTokens()), 1);
    EXPECT_EQ(ChooseDevice(devices, RecordingDeviceTokens()), 1);
}

TEST(DeviceMatchingTest, NoMatchNamesEverythingInQuotes) {
    const std::vector<std::wstring> devices{L"HDA Intel PCH", L"Webcam"};
    const std::wstring expected =
        L"No audio recording devices matching ''Vireon', 'Corvana', 'VRC', 'TSL'' found.\n"
        L"The following audio recording devices were found on the system: 'HDA Intel PCH', "
        L"'Webcam'";
    EXPECT_EQ(NoMatchingDeviceText(RecordingDeviceTokens(), devices), expected);
    try {
        ChooseDevice(devices, RecordingDeviceTokens());
        FAIL() << "no device should match";
    } catch (const tsl::wruntime_error& e) {
        EXPECT_EQ(e.wwhat(), expected);
    }
}

TEST(DeviceMatchingTest, RecorderTexts) {
    EXPECT_EQ(DeviceNotAvailableText(L"Mic"),
              L"The audio device Mic was found but it is not available.\nCheck that it is not "
              L"in use by another application");
    EXPECT_EQ(StartStreamingFailedText(L"Mic"),
              L"Could not start audio streaming for the device 'Mic'\nIt may have been "
              L"disconnected");
    EXPECT_EQ(StopFailedText(L"x"), L"Failed to stop recording audio.\r\nx");
    EXPECT_EQ(EnumerationFailedText(L"x"), L"Audio device enumeration failed x");
}

TEST(InputLevelTest, ScalarOfTheIntegerLevel) {
    EXPECT_NEAR(LevelToScalar(65535), 0.9999847, 1e-7);
    EXPECT_DOUBLE_EQ(LevelToScalar(70000), 1.0);
    EXPECT_DOUBLE_EQ(LevelToScalar(8192), 0.125);
    EXPECT_DOUBLE_EQ(LevelToScalar(-5), 0.0);
}

TEST(InputLevelTest, LevelOfTheCalibrationVersion) {
    EXPECT_EQ(LevelForCalibrationVersion(1), 16384);
    EXPECT_EQ(LevelForCalibrationVersion(2), 8192);
    EXPECT_EQ(LevelForCalibrationVersion(3), 8192);
    EXPECT_EQ(LevelForCalibrationVersion(0), 4096);
    EXPECT_EQ(LevelForCalibrationVersion(7), 4096);
    EXPECT_DOUBLE_EQ(LevelToScalar(LevelForCalibrationVersion(1)), 0.25);
    EXPECT_DOUBLE_EQ(LevelToScalar(LevelForCalibrationVersion(0)), 0.0625);
}

TEST(InputLevelTest, MixerControlValueIsTruncatedAndLimited) {
    EXPECT_EQ(FractionToControl(0.5, 65535), 32768);
    EXPECT_EQ(FractionToControl(1.0, 65535), 65535);
    EXPECT_EQ(FractionToControl(0.125, 31), 4);
    EXPECT_EQ(FractionToControl(0.0, 31), 0);
    EXPECT_EQ(FractionToControl(0.5, -1), 0);
}

TEST(ErrorTextTest, CoreAudioCodesCarryTheirDetail) {
    EXPECT_EQ(ErrorText(0x88890004u),
              L"Core Audio Interface error 0x88890004 (The audio endpoint device has been "
              L"unplugged, or the audio hardware or associated hardware resources have been "
              L"reconfigured, disabled, removed, or otherwise made unavailable for use.).");
    EXPECT_EQ(ErrorText(0x88890001u),
              L"Core Audio Interface error 0x88890001 (The audio devices "
              L"has not been successfully initialized.).");
    EXPECT_EQ(ErrorText(0x88890010u),
              L"Core Audio Interface error 0x88890010 (The Windows audio service is not "
              L"running.).");
    EXPECT_EQ(ErrorText(0x88890003u), L"Core Audio Interface error 0x88890003 (No Details.).");
    EXPECT_EQ(ErrorText(0x88890020u), L"Core Audio Interface error 0x88890020 (No Details.).");
    for (AudioResult code : {0x8889000Du, 0x8889001Au, 0x8889001Fu, 0x88890021u, 0x8889FFFFu})
        EXPECT_NE(ErrorText(code).find(L"(Unrecognized error.)."), std::wstring::npos) << code;
    EXPECT_NE(ErrorText(0x8889001Eu).find(L"Unrecognized"), std::wstring::npos);
}

TEST(ErrorTextTest, OtherRanges) {
    EXPECT_EQ(ErrorText(0x80040200u), L"COM Interface error 0x80040200");
    EXPECT_EQ(ErrorText(0x8004FDFFu), L"COM Interface error 0x8004FDFF");
    EXPECT_EQ(ErrorText(0x8004FE00u), L"Unknown COM error 0x8004FE00");
    EXPECT_EQ(ErrorText(0x1u), L"Unknown COM error 0x1");
    EXPECT_EQ(ErrorText(0x888A0000u), L"Unknown COM error 0x888A0000");
}

TEST(CaptureWatchdogTest, SixConsecutiveTimeoutsEndTheCapture) {
    audiotest::TickClock clock;
    std::atomic<int> fired{0};
    CaptureWatchdog watchdog(clock, std::chrono::milliseconds(100), [&] { ++fired; });
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(clock.Tick());
    EXPECT_EQ(watchdog.ConsecutiveTimeouts(), 5);
    EXPECT_FALSE(watchdog.Expired());
    ASSERT_TRUE(clock.Tick());
    watchdog.Stop();
    EXPECT_TRUE(watchdog.Expired());
    EXPECT_EQ(fired.load(), 1);
    // Each time-out is a wait of twice the buffer duration.
    EXPECT_EQ(clock.Now().time_since_epoch(), std::chrono::milliseconds(1200));
}

TEST(CaptureWatchdogTest, ADeliveryResetsTheCount) {
    audiotest::TickClock clock;
    std::atomic<int> fired{0};
    CaptureWatchdog watchdog(clock, std::chrono::milliseconds(100), [&] { ++fired; });
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(clock.Tick());
    watchdog.Beat();
    for (int i = 0; i < 2000000 && watchdog.ConsecutiveTimeouts() != 0; ++i)
        std::this_thread::yield();
    EXPECT_EQ(watchdog.ConsecutiveTimeouts(), 0);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(clock.Tick());
    watchdog.Stop();
    EXPECT_FALSE(watchdog.Expired());
    EXPECT_EQ(fired.load(), 0);
}

TEST(WaitForCaptureTest, AStreamStillDeliveringAtTheTimeOutIsWaitedFor) {
    SyncCap sink(2000);
    audiotest::TickClock clock;
    SampleBuffer result;
    std::thread waiter([&] { result = sink.Wait(clock, std::chrono::milliseconds(1600)); });
    const std::vector<double> block(100, 0.5);
    bool done = false;
    // Twenty slices of 100 ms, each with a delivery: the time-out passes after sixteen.
    for (int k = 0; k < 20 && !done; ++k) {
        sink.DeliverDoubles(block.data(), 100, done);
        if (!done) {
            ASSERT_TRUE(clock.Tick());
        }
    }
    waiter.join();
    EXPECT_TRUE(done);
    ASSERT_TRUE(result);
    EXPECT_EQ(clock.Now().time_since_epoch(), std::chrono::milliseconds(1900));
}

TEST(WaitForCaptureTest, AStreamThatStallsAfterTheTimeOutGivesNothing) {
    SyncCap sink(2000);
    audiotest::TickClock clock;
    SampleBuffer result;
    std::atomic<bool> finished{false};
    std::thread waiter([&] {
        result = sink.Wait(clock, std::chrono::milliseconds(1600));
        finished = true;
    });
    const std::vector<double> block(100, 0.5);
    bool done = false;
    for (int k = 0; k < 16; ++k) {
        sink.DeliverDoubles(block.data(), 100, done);
        ASSERT_TRUE(clock.Tick());
    }
    EXPECT_FALSE(finished.load());
    // One more slice without a delivery ends the wait.
    ASSERT_TRUE(clock.Tick());
    waiter.join();
    EXPECT_FALSE(result);
    EXPECT_EQ(clock.Now().time_since_epoch(), std::chrono::milliseconds(1700));
}
