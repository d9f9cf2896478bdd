// The test-tone play device against the simulated subwoofer in virtual time.

#include <gtest/gtest.h>

#include "sim_fixture.h"
#include "sublink/PlayDevice.h"

namespace {

using namespace simtest;
using CUsbController::UsbSubPlayDevice;

class PlayDeviceTest : public LineEndChannel {
protected:
    std::unique_ptr<UsbSubPlayDevice> Device(bool quick = false) {
        return std::make_unique<UsbSubPlayDevice>(quick, bus, &clock);
    }
};

TEST_P(PlayDeviceTest, HandsOutTheSweepSpectrumBeforeAnythingIsOpen) {
    auto play = Device();
    CurvePtr reference;
    ASSERT_TRUE(play->Result(reference));
    ASSERT_TRUE(reference);
    EXPECT_EQ(reference->Kind(), AxisKind::Frequency);
    EXPECT_GT(reference->Count(), 30000);
    EXPECT_FALSE(play->Channel().IsOpen());
}

TEST_P(PlayDeviceTest, OpenWaitsForTheSubwooferOnceThenSendsNothing) {
    auto device = Add(Options(275));
    auto play = Device();
    ASSERT_TRUE(play->Open());
    EXPECT_GE(Elapsed(), 4000ms);
    EXPECT_EQ(play->Channel().Mode(), CUsbController::ChannelMode::Application);

    const size_t commands = Log(*device).size();
    const auto before = Elapsed();
    ASSERT_TRUE(play->Open());
    EXPECT_EQ(Log(*device).size(), commands);
    EXPECT_EQ(Elapsed(), before);
}

TEST_P(PlayDeviceTest, OpenWithoutASubwooferFails) {
    auto play = Device();
    EXPECT_FALSE(play->Open());
    EXPECT_EQ(play->LastError(),
              L"Could not find a subwoofer.\nPlease check that you have connected the target "
              L"subwoofer via USB.");
    EXPECT_FALSE(play->Channel().IsOpen());
}

TEST_P(PlayDeviceTest, OpenAfterTheSubwooferWasPluggedInAgainReopensAndWaits) {
    auto first = Add(Options(275));
    auto play = Device();
    ASSERT_TRUE(play->Open());
    first->Unplug();
    // The channel's reader notices the loss and wakes a pending reply read.
    for (int i = 0; i < 100 && !play->Channel().IsLost(); ++i)
        play->Channel().ReadReply(CUsbController::CUsbComm::kReplyWait);
    ASSERT_TRUE(play->Channel().IsLost());

    auto second = Add(Options(275));
    const auto before = Elapsed();
    ASSERT_TRUE(play->Open());
    EXPECT_GE(Elapsed() - before, 4000ms);
    EXPECT_TRUE(play->Channel().IsUsable());
    EXPECT_FALSE(Log(*second).empty());
}

TEST_P(PlayDeviceTest, OpenFailsWhenApplicationCodeDoesNotStart) {
    Add(Options(275, {"silent=B"}, Sim::SimMode::BootLoader));
    auto play = Device();
    EXPECT_FALSE(play->Open());
    EXPECT_EQ(play->LastError(),
              L"Unable to switch to application code.\nYour subwoofer may not be programmed "
              L"correctly.");
}

TEST_P(PlayDeviceTest, StartPlaysTheToneOfTheModeAndSettles) {
    auto device = Add(Options(275));
    for (bool quick : {false, true}) {
        auto play = Device(quick);
        ASSERT_TRUE(play->Open());
        const auto before = Elapsed();
        ASSERT_TRUE(play->Start());
        EXPECT_GE(Elapsed() - before, 1100ms);
        EXPECT_LT(Elapsed() - before, 4100ms);
        EXPECT_EQ(device->With([](Sim::SimFirmware& f) { return f.ToneVariant(); }), quick ? 2 : 3);
        ASSERT_TRUE(play->Stop());
        EXPECT_FALSE(device->With([](Sim::SimFirmware& f) { return f.ToneOn(); }));
    }
}

TEST_P(PlayDeviceTest, TheTwoSlowModelsSettleForAtLeast4100Ms) {
    for (uint16_t model : {uint16_t{264}, uint16_t{262}}) {
        bus = std::make_shared<Sim::SimBus>();
        Add(Options(model));
        auto play = Device();
        ASSERT_TRUE(play->Open());
        const auto before = Elapsed();
        ASSERT_TRUE(play->Start());
        EXPECT_GE(Elapsed() - before, 4100ms) << model;
    }
}

TEST_P(PlayDeviceTest, ARefusedToneAsksForTslSupport) {
    Add(Options(275, {"refuse=t3"}));
    auto play = Device();
    ASSERT_TRUE(play->Open());
    EXPECT_FALSE(play->Start());
    EXPECT_EQ(play->LastError(),
              L"Usb sub failed to play test tone.\nDoes your subwoofer support TSL?");
}

TEST_P(PlayDeviceTest, AnUnansweredToneFails) {
    Add(Options(275, {"silent=t3"}));
    auto play = Device();
    ASSERT_TRUE(play->Open());
    EXPECT_FALSE(play->Start());
    EXPECT_EQ(play->LastError(), L"Failed to start test tone playback");
    EXPECT_TRUE(play->Channel().IsOpen());
}

TEST_P(PlayDeviceTest, StopSendsTheStopCommandTwiceOrThreeTimes) {
    struct Case {
        std::vector<std::string> faults;
        size_t stops;
        bool result;
    };
    for (const Case& c : {Case{{}, 2, true}, Case{{"silent=t4:1"}, 2, true},
                          Case{{"silent=t4:2"}, 3, true}, Case{{"silent=t4"}, 3, false}}) {
        bus = std::make_shared<Sim::SimBus>();
        auto device = Add(Options(275, c.faults));
        auto play = Device();
        ASSERT_TRUE(play->Open());
        EXPECT_EQ(play->Stop(), c.result);
        EXPECT_EQ(Count(Log(*device), "t4"), c.stops) << c.faults.size();
    }
}

INSTANTIATE_LINE_ENDS(PlayDeviceTest);

}  // namespace
