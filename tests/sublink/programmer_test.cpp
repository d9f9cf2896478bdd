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

class Programmer : public LineEndChannel {
protected:
    std::vector<uint8_t> Flashed(Sim::SimDevice& d) {
        return d.With([](Sim::SimFirmware& f) { return f.EqualiserImage(); });
    }
};

TEST_P(Programmer, WritesAndVerifiesThePartialRegionBlock) {
    auto dev = Add(Options(kKT1));
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

TEST_P(Programmer, SecondWriteOfTheSameImageStoresNothing) {
    auto dev = Add(Options(kKT2));
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

TEST_P(Programmer, EraseWritesAWholeRegionOfErasedBytes) {
    auto dev = Add(Options(kKT2));
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

TEST_P(Programmer, RefusedStoreFailsTheWrite) {
    auto dev = Add(Options(kKT1, {"refuse=m"}));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    EXPECT_FALSE(Write(*ch, Coefficients()));
    EXPECT_TRUE(Contains(Log(*dev), "u70"));
}

// After a restart the working copy holds erased bytes, the very image of an erase: only a copy
// really loaded from flash may decide that nothing needs writing.
TEST_P(Programmer, EraseAfterARestartWithARefusedLoadReallyErases) {
    for (uint16_t model : {kKT1, kKT2}) {
        bus = std::make_shared<Sim::SimBus>();
        auto dev = Add(Options(model, {"refuse=M:1"}));
        const size_t length = model == kKT1 ? 224 : 512;
        const auto& block = FindModelById(model)->flashConfig->EqualiserBlock();
        dev->With([&](Sim::SimFirmware& f) {
            auto region = f.Region(block.memory, block.region);
            auto image = Image(Coefficients(), length);
            std::copy(image.begin(), image.end(), region.begin() + block.offset);
            f.SetRegion(block.memory, block.region, region);
            return 0;
        });
        auto ch = Channel();
        ASSERT_TRUE(ch->OpenAnyDevice());
        ASSERT_TRUE(Write(*ch, EraseDefault(), true)) << model;
        EXPECT_EQ(Flashed(*dev), std::vector<uint8_t>(length, 0xFF)) << model;
    }
}

TEST_P(Programmer, ChecksumThatDiffersAfterTheStoreFailsTheWrite) {
    auto dev = Add(Options(kKT2, {"bad-store"}));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    EXPECT_FALSE(Write(*ch, Coefficients()));
    EXPECT_EQ(dev->With([](Sim::SimFirmware& f) { return f.StoresDone(); }), 1u);
}

TEST_P(Programmer, NoModelMeansNoCommand) {
    auto dev = Add(Options(kKT1));
    auto ch = Channel();
    EXPECT_FALSE(Write(*ch, Coefficients()));
    EXPECT_TRUE(Log(*dev).empty());
}

TEST_P(Programmer, AnImageOfTheWrongLengthFailsBeforeTheBootLoader) {
    auto dev = Add(Options(kKT1));
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

TEST_P(Programmer, ProgressIsPostedThroughTheBridge) {
    Add(Options(kKT1));
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
    ASSERT_EQ(status.seen.size(), 4u);  // the boot loader, writing, verifying; "Aborting..."
}

// ---- the write under faults ----

struct FaultCase {
    std::string fault;
    std::string command;
    std::string lineEnd;
    std::string also;  // a second fault, or nothing
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.fault << "=" << c.command << (c.also.empty() ? "" : " " + c.also)
        << (c.lineEnd == "\r\n" ? " CRLF" : " LF");
}

std::string Name(const ::testing::TestParamInfo<FaultCase>& info) {
    const FaultCase& c = info.param;
    std::string n = c.fault + "_" + c.command + (c.also.empty() ? "" : "_" + c.also);
    for (char& ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    // Commands differ only in case ("m" and "M").
    for (char ch : c.command)
        n += std::isupper(static_cast<unsigned char>(ch)) ? "U" : "L";
    return n + (c.lineEnd == "\r\n" ? "_CRLF" : "_LF");
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
    // Without a load from flash neither the skip test nor the verification can be trusted.
    if (in({"M"}) && (c.fault == "silent" || c.fault == "refuse"))
        return true;
    if (c.fault == "silent" && in({"V2", "u", "m", "s", "a"}))
        return true;
    return c.fault == "refuse" && in({"u", "m"});
}

class WriteUnderFault : public SimChannel, public ::testing::WithParamInterface<FaultCase> {
protected:
    void SetUp() override { lineEnd = GetParam().lineEnd; }
};

TEST_P(WriteUnderFault, EndsInBoundedTimeAndNeverClaimsAnUnverifiedWrite) {
    clock.SetGrace(std::chrono::milliseconds(10));
    auto dev = Add(Options(kKT1));
    // Region 30 around the equaliser block must survive whatever happens.
    std::vector<uint8_t> region(512);
    for (size_t i = 0; i < region.size(); ++i)
        region[i] = static_cast<uint8_t>(i * 7 + 1);
    dev->With([&](Sim::SimFirmware& f) {
        f.SetRegion(0, 30, region);
        return 0;
    });
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    const FaultCase& c = GetParam();
    dev->With([&](Sim::SimFirmware& f) {
        f.AddFault(F(c.fault + "=" + c.command));
        if (!c.also.empty())
            f.AddFault(F(c.also));
        return 0;
    });
    auto start = clock.Elapsed();
    bool ok = Write(*ch, Coefficients());
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(clock.Elapsed() - start);
    EXPECT_LT(took, std::chrono::minutes(2));
    RecordProperty("virtual_ms", std::to_string(took.count()));
    auto stored = dev->With([](Sim::SimFirmware& f) { return f.Region(0, 30); });
    EXPECT_TRUE(std::equal(region.begin(), region.begin() + 256, stored.begin()));
    EXPECT_TRUE(std::equal(region.begin() + 480, region.end(), stored.begin() + 480));
    if (ok) {
        EXPECT_EQ(dev->With([](Sim::SimFirmware& f) { return f.EqualiserImage(); }),
                  Image(Coefficients(), 224));
    }
    if (MustFail(c)) {
        EXPECT_FALSE(ok);
    }
}

std::vector<FaultCase> AllCases() {
    std::vector<FaultCase> cases;
    for (const char* lineEnd : {"\n", "\r\n"}) {
        for (const char* fault : {"silent", "refuse", "garble", "unplug-at"})
            for (const char* command : {"b", "V2", "V0", "G0", "h", "H", "G3", "G4", "G2", "s", "S",
                                        "a", "A", "M", "D", "u", "m"})
                cases.push_back({fault, command, lineEnd, ""});
        // A store that changes a byte is caught only by a checksum of what was loaded back.
        cases.push_back({"refuse", "M", lineEnd, "bad-store"});
        cases.push_back({"refuse", "M:1", lineEnd, ""});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, WriteUnderFault, ::testing::ValuesIn(AllCases()), Name);

TEST_P(Programmer, WriteWithoutFaultsSucceedsInBoundedTime) {
    Add(Options(kKT1));
    auto ch = Channel();
    ASSERT_TRUE(ch->OpenAnyDevice());
    auto start = clock.Elapsed();
    EXPECT_TRUE(Write(*ch, Coefficients()));
    EXPECT_LT(clock.Elapsed() - start, std::chrono::seconds(10));
}

INSTANTIATE_LINE_ENDS(Programmer);

}  // namespace
