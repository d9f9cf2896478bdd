// The command language against the simulated subwoofer, in virtual time.

#include <gtest/gtest.h>

#include "sim_fixture.h"
#include "sublink/BaseConfig.h"

using namespace CUsbController;
using namespace simtest;

namespace {

constexpr uint16_t kKT1 = 275;  // 56F8014 layout
constexpr uint16_t kKT2 = 276;  // 56F8037 layout

class Protocol : public LineEndChannel {};

TEST(ProtocolNumbers, HexadecimalRepliesAndCommands) {
    uint32_t v = 0;
    EXPECT_TRUE(CUsbComm::ParseHex("12\r", v));
    EXPECT_EQ(v, 0x12u);
    EXPECT_TRUE(CUsbComm::ParseHex("  fb3ee248", v));
    EXPECT_EQ(v, 0xFB3EE248u);
    EXPECT_TRUE(CUsbComm::ParseHex("123456789", v));  // at most eight digits
    EXPECT_EQ(v, 0x12345678u);
    EXPECT_FALSE(CUsbComm::ParseHex("!", v));
    EXPECT_FALSE(CUsbComm::ParseHex("", v));
    // Names and version texts end before a carriage return; numbers read as they are.
    EXPECT_EQ(CUsbComm::ReplyText("v1.02\r"), "v1.02");
    EXPECT_EQ(CUsbComm::ReplyText("KT1"), "KT1");
    EXPECT_EQ(CUsbComm::Hex(10), "A");
    EXPECT_EQ(CUsbComm::Hex(0), "0");
    EXPECT_EQ(CUsbComm::WordCount({5, 0, 0, 0}), 3u);
    EXPECT_EQ(CUsbComm::WordAddress({224, 0, 30, 256}), 128u);
}

TEST_P(Protocol, OpensAndIdentifiesTheModel) {
    auto dev = Add(Options(kKT1));
    auto ch = Channel();
    std::vector<std::wstring> names;
    ASSERT_TRUE(ch->OpenAnyDevice(&names));
    ASSERT_NE(ch->CurrentModel(), nullptr);
    EXPECT_EQ(ch->CurrentModel()->modelId, kKT1);
    EXPECT_EQ(names, std::vector<std::wstring>{L"KT1"});
    // A handshake is at least two flushes of 500 ms.
    EXPECT_GE(Elapsed(), 1000ms);
    ch->CloseChannel();
    EXPECT_FALSE(ch->IsOpen());
    EXPECT_EQ(ch->CurrentModel()->modelId, kKT1);
}

TEST_P(Protocol, SplitRepliesAreJoinedAndJoinedRepliesSplit) {
    auto dev = Add(Options(kKT1, {}, Sim::SimMode::BootLoader));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    // "platI_boot" and its line end are longer than one 8-byte packet.
    std::string reply;
    ASSERT_TRUE(ch->Transact("V0", &reply));
    EXPECT_EQ(reply, "platI_boot" + CR());  // a reply keeps its carriage return

    dev->HoldOutput(true);
    ASSERT_TRUE(ch->SendCommand("G0"));
    ASSERT_TRUE(ch->SendCommand("G3"));
    dev->HoldOutput(false);  // "2", "100" and their line ends leave in one packet
    ASSERT_TRUE(ch->ReadReply(CUsbComm::kReplyWait, &reply));
    EXPECT_EQ(reply, "2" + CR());
    ASSERT_TRUE(ch->ReadReply(CUsbComm::kReplyWait, &reply));
    EXPECT_EQ(reply, "100" + CR());
}

TEST_P(Protocol, TheRunningProgramIsIdentifiedWhateverTheLineEnd) {
    auto dev = Add(Options(kKT1, {}, Sim::SimMode::BootLoader));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    EXPECT_TRUE(ch->Handshake(kExpectBootLoader));
    EXPECT_FALSE(ch->Handshake(kExpectApplication));
    ASSERT_TRUE(ch->QueryMemoryCount());
    EXPECT_EQ(ch->Selection().memoryCount, 2u);
    ASSERT_TRUE(ch->SwitchToApplication());
    EXPECT_TRUE(ch->Handshake(kExpectApplication));
    EXPECT_FALSE(ch->Handshake(kExpectBootLoader));
    ASSERT_TRUE(ch->SwitchToBootLoader());
    EXPECT_EQ(dev->With([](Sim::SimFirmware& f) { return f.Mode(); }), Sim::SimMode::BootLoader);
}

TEST_P(Protocol, TrickledRepliesStillHandshake) {
    Add(Options(kKT1, {"trickle"}));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    EXPECT_TRUE(ch->SwitchToBootLoader());
    EXPECT_EQ(ch->Mode(), ChannelMode::BootLoader);
}

TEST_P(Protocol, RefusedQueryFailsAfterFourAttempts) {
    auto dev = Add(Options(kKT1, {"refuse=G0"}, Sim::SimMode::BootLoader));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    EXPECT_FALSE(ch->QueryMemoryCount());
    EXPECT_EQ(Count(Log(*dev), "G0"), 4u);
}

TEST_P(Protocol, RetriedCommandRecoversFromOneMissingAnswer) {
    auto dev = Add(Options(kKT1, {"silent=G0:1"}, Sim::SimMode::BootLoader));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    EXPECT_TRUE(ch->QueryMemoryCount());
    EXPECT_EQ(ch->Selection().memoryCount, 2u);
    EXPECT_EQ(Count(Log(*dev), "G0"), 2u);
}

TEST_P(Protocol, VerifyMismatchLeavesTheSelectionAsItWas) {
    auto dev = Add(Options(kKT1, {"wrong=H"}, Sim::SimMode::BootLoader));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    ASSERT_TRUE(ch->QueryMemoryCount());
    MemorySelection before = ch->Selection();
    EXPECT_FALSE(ch->SelectMemory(1));
    EXPECT_EQ(ch->Selection(), before);
    EXPECT_EQ(Count(Log(*dev), "H"), 4u);
}

TEST_P(Protocol, MemoryBeyondTheCountIsNotSelected) {
    auto o = Options(kKT1, {}, Sim::SimMode::BootLoader);
    o.memoryCount = 3;
    auto dev = Add(o);
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    EXPECT_FALSE(ch->SelectMemory(3));
    EXPECT_FALSE(Contains(Log(*dev), "h3"));
    EXPECT_EQ(ch->Selection().memoryCount, 3u);
}

TEST_P(Protocol, NarrowWordsRejectTheLayout) {
    auto o = Options(kKT1, {}, Sim::SimMode::BootLoader);
    o.bitsPerWord = 4;
    Add(o);
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    ASSERT_TRUE(ch->SelectMemory(0));
    EXPECT_FALSE(ch->QueryLayout());
    EXPECT_EQ(ch->Selection().bytesPerWord, MemorySelection::kUnset);
}

TEST_P(Protocol, WholeRegionChecksumUsesTheBareCommand) {
    auto dev = Add(Options(kKT2, {}, Sim::SimMode::BootLoader));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    uint32_t sum = 0;
    ASSERT_TRUE(ch->QueryChecksum({512, 0, 112, 0}, sum));
    ASSERT_TRUE(ch->QueryChecksum({224, 0, 112, 256}, sum));
    auto log = Log(*dev);
    EXPECT_TRUE(Contains(log, "D"));
    EXPECT_TRUE(Contains(log, "D70"));
    EXPECT_FALSE(Contains(log, "D100"));
    // Another word address selects the block afresh.
    EXPECT_EQ(Count(log, "h0"), 2u);
    EXPECT_TRUE(Contains(log, "a80"));
}

TEST_P(Protocol, OddBlockLengthCoversTheLastByte) {
    auto dev = Add(Options(kKT1, {}, Sim::SimMode::BootLoader));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    ch->UploadBlock({5, 0, 2, 0}, {1, 2, 3, 4, 5});
    auto log = Log(*dev);
    EXPECT_TRUE(Contains(log, "u3"));
    EXPECT_TRUE(Contains(log, "D3"));
}

TEST_P(Protocol, EchoedProbeMeansNotReady) {
    auto dev = Add(Options(kKT1, {"notready-echo=2"}));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    EXPECT_EQ(Count(Log(*dev), "V2"), 3u);
}

TEST_P(Protocol, FourBusyProbesFailTheHandshake) {
    auto dev = Add(Options(kKT1, {"notready=100"}));
    auto ch = Channel();
    EXPECT_FALSE(ch->OpenAnyDevice());
    // Two attempts (control values 0x0080, then 0x0280) of four probes each.
    EXPECT_EQ(Count(Log(*dev), "V2"), 8u);
    EXPECT_FALSE(ch->IsOpen());
}

TEST_P(Protocol, BusyDeviceThenGoodDevice) {
    Add(Options(kKT1, {"busy"}));
    auto good = Add(Options(kKT2));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    EXPECT_EQ(ch->CurrentModel()->modelId, kKT2);
    EXPECT_TRUE(Contains(Log(*good), "V0"));
}

TEST_P(Protocol, CensusCountsWithoutCommands) {
    auto a = Add(Options(kKT1, {"busy"}));
    auto b = Add(Options(kKT1, {"release=0x11A"}));
    auto c = Add(Options(kKT2));
    auto ch = Channel();
    unsigned total, busy, unrecognised, recognised;
    EXPECT_TRUE(ch->CensusDevices(total, busy, unrecognised, recognised));
    EXPECT_EQ(total, 3u);
    EXPECT_EQ(busy, 1u);
    EXPECT_EQ(unrecognised, 1u);
    EXPECT_EQ(recognised, 1u);
    EXPECT_TRUE(Log(*b).empty());
    EXPECT_TRUE(Log(*c).empty());
    EXPECT_FALSE(ch->IsOpen());
}

TEST_P(Protocol, UnrecognisedReleaseNumberIsNotOpened) {
    Add(Options(kKT1, {"release=0x11A"}));
    auto ch = Channel();
    EXPECT_FALSE(ch->OpenAnyDevice());
}

TEST_P(Protocol, ModeSwitchesAreRememberedAndSkipped) {
    auto dev = Add(Options(kKT1));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    ASSERT_TRUE(ch->SwitchToBootLoader());
    EXPECT_EQ(dev->With([](Sim::SimFirmware& f) { return f.Mode(); }), Sim::SimMode::BootLoader);
    ASSERT_TRUE(ch->SwitchToApplication());
    EXPECT_EQ(dev->With([](Sim::SimFirmware& f) { return f.Mode(); }), Sim::SimMode::Application);
    size_t before = Log(*dev).size();
    EXPECT_TRUE(ch->SwitchToApplication());
    EXPECT_EQ(Log(*dev).size(), before);
}

TEST_P(Protocol, FailedSwitchRestoresTheMode) {
    Add(Options(kKT1, {"silent=B"}));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    ASSERT_TRUE(ch->SwitchToBootLoader());
    EXPECT_FALSE(ch->SwitchToApplication());
    EXPECT_EQ(ch->Mode(), ChannelMode::BootLoader);
}

TEST_P(Protocol, LostDeviceFailsEveryCommandAtOnce) {
    auto dev = Add(Options(kKT1));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    dev->Unplug();
    // The reader notices the loss and wakes a pending reply read.
    for (int i = 0; i < 100 && !ch->IsLost(); ++i)
        EXPECT_FALSE(ch->ReadReply(CUsbComm::kReplyWait));
    ASSERT_TRUE(ch->IsLost());
    EXPECT_FALSE(ch->Transact("V0"));
    auto t = clock.Elapsed();
    EXPECT_FALSE(ch->SendCommand("V2"));
    EXPECT_FALSE(ch->Flush());
    EXPECT_EQ(clock.Elapsed(), t);
}

TEST_P(Protocol, EndlessSenderDoesNotHoldTheChannel) {
    Add(Options(kKT1, {"babble"}));
    auto ch = Channel();
    EXPECT_FALSE(ch->OpenAnyDevice());
    EXPECT_FALSE(ch->IsOpen());
}

TEST_P(Protocol, TraceShowsCommandsRepliesAndControls) {
    Add(Options(kKT1));
    std::vector<std::string> lines;
    std::mutex m;
    auto ch =
        std::make_unique<CUsbProgrammer>(UsbEnvironment{bus, &clock, [&](const std::string& l) {
                                                            std::lock_guard<std::mutex> g(m);
                                                            lines.push_back(l);
                                                        }});
    ASSERT_TRUE(ch->OpenAnyDevice());
    ch->CloseChannel();
    auto has = [&](const std::string& l) {
        return std::find(lines.begin(), lines.end(), l) != lines.end();
    };
    EXPECT_TRUE(has("usb ctl 0x0080"));
    EXPECT_TRUE(has("usb> V2"));
    EXPECT_TRUE(has("usb< KT1" + CR()));
    EXPECT_TRUE(has("usb> "));
    EXPECT_EQ(lines.back(), "usb ctl 0x0000");
}

INSTANTIATE_LINE_ENDS(Protocol);

}  // namespace
