// Writing the equaliser into the simulated subwoofer's flash, and the write under every fault.

#include <gtest/gtest.h>

#include "correction/EqResult.h"
#include "measure/Checksum.h"
#include "sim_fixture.h"
#include "sublink/Progress.h"
#include "threading/Errors.h"
#include "threading/RegisteredMessages.h"

using namespace CUsbController;
using namespace simtest;

namespace {

constexpr uint16_t kKT1 = 275;  // 56F8014: 224 bytes inside region 30
constexpr uint16_t kKT2 = 276;  // 56F8037: all of region 112

EqResult Coefficients(double tweak = 0.0) {
    EqResult r;
    r.valid = 1;
    for (int i = 0; i < 10; ++i)
        r.bands.push_back({1, 0.25 + tweak, -0.5 + 0.01 * i, 0.5, 0.45, -0.95 + tweak, 1});
    return r;
}

std::vector<uint8_t> Image(const EqResult& r, size_t length, bool erase = false) {
    return BuildEqBlock(r, erase, length).value();
}

// Writes r's block, of the length of the channel's model (224 bytes before one is known).
bool Write(CUsbProgrammer& ch, const EqResult& r, bool erase = false) {
    const size_t length =
        ch.CurrentModel() ? ch.CurrentModel()->flashConfig->EqualiserBlock().length : 224;
    return WriteEqualiser(ch, Image(r, length, erase));
}

class Programmer : public SimChannel {
protected:
    std::vector<uint8_t> Flashed(Sim::SimDevice& d) {
        return d.With([](Sim::SimFirmware& f) { return f.EqualiserImage(); });
    }
};

TEST_F(Programmer, WritesAndVerifiesThePartialRegionBlock) {
    auto dev = bus->Add(Options(kKT1));
    // Bytes of region 30 outside the equaliser block must survive the write.
    std::vector<uint8_t> region(512, 0x11);
    dev->With([&](Sim::SimFirmware& f) {
        f.SetRegion(0, 30, region);
        return 0;
    });
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    ASSERT_TRUE(Write(*ch, Coefficients()));
    EXPECT_EQ(ch->Mode(), ChannelMode::BootLoader);
    EXPECT_EQ(Flashed(*dev), Image(Coefficients(), 224));
    auto stored = dev->With([](Sim::SimFirmware& f) { return f.Region(0, 30); });
    EXPECT_EQ(stored[0], 0x11);
    EXPECT_EQ(stored[255], 0x11);
    EXPECT_EQ(stored[480], 0x11);
    auto log = Log(*dev);
    EXPECT_TRUE(Contains(log, "s1E"));
    EXPECT_TRUE(Contains(log, "a80"));
    EXPECT_TRUE(Contains(log, "u70"));
    EXPECT_TRUE(Contains(log, "D70"));
    EXPECT_EQ(Count(log, "m"), 1u);
}

TEST_F(Programmer, SecondWriteOfTheSameImageStoresNothing) {
    auto dev = bus->Add(Options(kKT2));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    ASSERT_TRUE(Write(*ch, Coefficients()));
    ch->CloseChannel();
    size_t before = Log(*dev).size();

    auto again = Channel();
    ASSERT_TRUE(again->OpenAnyDevice());
    size_t opened = Log(*dev).size();
    ASSERT_TRUE(Write(*again, Coefficients()));
    auto log = Log(*dev);
    std::vector<std::string> write(log.begin() + static_cast<std::ptrdiff_t>(opened), log.end());
    EXPECT_TRUE(Contains(write, "M"));
    EXPECT_TRUE(Contains(write, "D"));  // the whole region: bare checksum command
    EXPECT_FALSE(Contains(write, "u100"));
    EXPECT_FALSE(Contains(write, "m"));
    EXPECT_GT(opened, before);
    EXPECT_EQ(dev->With([](Sim::SimFirmware& f) { return f.StoresDone(); }), 1u);
}

TEST_F(Programmer, EraseWritesAWholeRegionOfErasedBytes) {
    auto dev = bus->Add(Options(kKT2));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    ASSERT_TRUE(Write(*ch, Coefficients()));
    ASSERT_TRUE(Write(*ch, EraseDefault(), true));
    EXPECT_EQ(Flashed(*dev), std::vector<uint8_t>(512, 0xFF));
    auto log = Log(*dev);
    EXPECT_EQ(Count(log, "u100"), 2u);
    // A whole region needs no load before the upload: "M" only for the skip tests.
    EXPECT_EQ(Count(log, "M"), 4u);
}

TEST_F(Programmer, RefusedStoreFailsTheWrite) {
    auto dev = bus->Add(Options(kKT1, {"refuse=m"}));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    EXPECT_FALSE(Write(*ch, Coefficients()));
    EXPECT_TRUE(Contains(Log(*dev), "u70"));
}

TEST_F(Programmer, ChecksumThatDiffersAfterTheStoreFailsTheWrite) {
    auto dev = bus->Add(Options(kKT2, {"bad-store"}));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    EXPECT_FALSE(Write(*ch, Coefficients()));
    EXPECT_EQ(dev->With([](Sim::SimFirmware& f) { return f.StoresDone(); }), 1u);
}

TEST_F(Programmer, NoModelMeansNoCommand) {
    auto dev = bus->Add(Options(kKT1));
    auto ch = Channel();
    EXPECT_FALSE(Write(*ch, Coefficients()));
    EXPECT_TRUE(Log(*dev).empty());
}

TEST_F(Programmer, AnImageOfTheWrongLengthFailsBeforeTheBootLoader) {
    auto dev = bus->Add(Options(kKT1));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    EXPECT_FALSE(WriteEqualiser(*ch, Image(Coefficients(), 512)));
    EXPECT_FALSE(Contains(Log(*dev), "b"));
}

class RecordingWindow : public Threading::IWindow {
public:
    std::vector<std::pair<uint32_t, std::intptr_t>> seen;
    std::intptr_t OnMessage(const Threading::WND_MSG& m) override {
        seen.emplace_back(m.message, m.message == Threading::PBM_SETPOS
                                         ? static_cast<std::intptr_t>(m.wParam)
                                         : m.lParam);
        return 0;
    }
};

TEST_F(Programmer, ProgressIsPostedThroughTheBridge) {
    bus->Add(Options(kKT1));
    Threading::MessageBridge bridge;
    bridge.Start();
    RecordingWindow bar, status;
    auto barHandle = bridge.Windows().Register(&bar);
    auto statusHandle = bridge.Windows().Register(&status);
    MultiThreadedProgress progress(statusHandle, barHandle, bridge);
    auto ch = Channel();
    ch->progress = &progress;
    ASSERT_TRUE(ch->OpenAnyDevice());
    ASSERT_TRUE(Write(*ch, Coefficients()));
    bridge.Drain();
    using P = std::pair<uint32_t, std::intptr_t>;
    EXPECT_EQ(bar.seen, (std::vector<P>{{Threading::PBM_SETRANGE32, 0},
                                        {Threading::PBM_SETRANGE32, 3},
                                        {Threading::PBM_SETPOS, 1},
                                        {Threading::PBM_SETPOS, 2},
                                        {Threading::PBM_SETPOS, 3}}));
    progress.Abort();
    EXPECT_EQ(progress.GetStatus(), L"User Aborted!");
    EXPECT_THROW(progress.CheckAbort(), tsl::wruntime_error);
    bridge.Drain();
    ASSERT_EQ(status.seen.size(), 1u);  // "Aborting..."
}

// ---- the write under faults ----

struct FaultCase {
    std::string fault;
    std::string command;
};

std::string Name(const ::testing::TestParamInfo<FaultCase>& info) {
    std::string n = info.param.fault + "_" + info.param.command;
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    // Commands differ only in case ("m" and "M").
    for (char c : info.param.command)
        n += std::isupper(static_cast<unsigned char>(c)) ? "U" : "L";
    return n;
}

bool MustFail(const FaultCase& c) {
    auto in = [&](std::initializer_list<const char*> set) {
        for (const char* s : set)
            if (c.command == s)
                return true;
        return false;
    };
    if (c.fault == "unplug-at")
        return true;
    // Without a readable number, or a name, the write cannot be verified.
    if (in({"G0", "G2", "G3", "G4", "H", "S", "A", "D", "V0"}))
        return true;
    if (c.fault == "silent" && in({"V2", "M", "u", "m", "s", "a"}))
        return true;
    return c.fault == "refuse" && in({"u", "m"});
}

class WriteUnderFault : public SimChannel, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(WriteUnderFault, EndsInBoundedTimeAndNeverClaimsAnUnverifiedWrite) {
    clock.SetGrace(std::chrono::milliseconds(10));
    auto dev = bus->Add(Options(kKT1));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    const FaultCase& c = GetParam();
    dev->With([&](Sim::SimFirmware& f) {
        f.AddFault(F(c.fault + "=" + c.command));
        return 0;
    });
    auto start = clock.Elapsed();
    bool ok = Write(*ch, Coefficients());
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(clock.Elapsed() - start);
    EXPECT_LT(took, std::chrono::minutes(2));
    RecordProperty("virtual_ms", std::to_string(took.count()));
    auto image = Image(Coefficients(), 224);
    if (ok) {
        EXPECT_EQ(dev->With([](Sim::SimFirmware& f) { return f.EqualiserImage(); }), image);
    }
    if (MustFail(c)) {
        EXPECT_FALSE(ok);
    }
}

std::vector<FaultCase> AllCases() {
    std::vector<FaultCase> cases;
    for (const char* fault : {"silent", "refuse", "garble", "unplug-at"})
        for (const char* command : {"b", "V2", "V0", "G0", "h", "H", "G3", "G4", "G2", "s", "S",
                                    "a", "A", "M", "D", "u", "m"})
            cases.push_back({fault, command});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, WriteUnderFault, ::testing::ValuesIn(AllCases()), Name);

TEST_F(Programmer, WriteWithoutFaultsSucceedsInBoundedTime) {
    bus->Add(Options(kKT1));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    auto start = clock.Elapsed();
    EXPECT_TRUE(Write(*ch, Coefficients()));
    EXPECT_LT(clock.Elapsed() - start, std::chrono::seconds(10));
}

}  // namespace
