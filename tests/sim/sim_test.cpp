// The simulated subwoofer on its own: fault names, the firmware's answers and the state file.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "measure/Checksum.h"
#include "sim/SimBus.h"
#include "sim/SimState.h"
#include "threading/Errors.h"

using namespace Sim;

namespace {

std::string Feed(SimFirmware& f, const std::string& text) {
    f.Receive(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    std::string out;
    std::vector<uint8_t> packet;
    while (f.NextPacket(packet))
        out.append(packet.begin(), packet.end());
    return out;
}

TEST(SimFaultNames, ParseWithAndWithoutArguments) {
    auto f = ParseFault("silent=G0:2");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->kind, FaultKind::Silent);
    EXPECT_EQ(f->command, "G0");
    EXPECT_EQ(f->count, 2u);
    EXPECT_TRUE(ParseFault("trickle"));
    EXPECT_EQ(ParseFault("release=0x11A")->count, 0x11Au);
    EXPECT_FALSE(ParseFault("trickle=1"));
    EXPECT_FALSE(ParseFault("notready"));
    EXPECT_FALSE(ParseFault("silent="));
    EXPECT_FALSE(ParseFault("nonsense"));
    EXPECT_EQ(CommandName("h1E"), "h");
    EXPECT_EQ(CommandName("G3"), "G3");
    EXPECT_FALSE(FaultHelp().empty());
}

TEST(SimFirmwareTest, AnswersAsTheModelInEitherProgram) {
    SimFirmware f;  // KT1
    EXPECT_EQ(Feed(f, "V0;"), "KT1\n");
    EXPECT_EQ(Feed(f, "G0;"), "!\n");  // memory access is the boot loader's
    EXPECT_EQ(Feed(f, "t3;"), "t\n");
    EXPECT_TRUE(f.ToneOn());
    EXPECT_EQ(Feed(f, "t4;b;V0;"), "t\nb\nplatI_boot\n");
    EXPECT_FALSE(f.ToneOn());
    EXPECT_EQ(Feed(f, "G0;G3;G4;G2;"), "2\n100\n10\n20\n");
    EXPECT_EQ(Feed(f, ";;"), "");
}

TEST(SimFirmwareTest, UploadStoreAndChecksum) {
    SimOptions o;
    o.mode = SimMode::BootLoader;
    SimFirmware f(o);
    Feed(f, "h0;s3;a2;M;");
    std::string data = "ABCD";
    std::string cmd = "u2;" + data;
    uint32_t sum = BlockChecksum(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    EXPECT_EQ(Feed(f, cmd), "");
    std::string tail{static_cast<char>(sum), static_cast<char>(sum >> 8),
                     static_cast<char>(sum >> 16), static_cast<char>(sum >> 24)};
    EXPECT_EQ(Feed(f, tail), "u\n");
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X\n", sum);
    EXPECT_EQ(Feed(f, "D2;"), hex);
    Feed(f, "m;");
    auto region = f.Region(0, 3);
    EXPECT_EQ(region[4], 'A');
    EXPECT_EQ(region[3], 0xFF);
}

TEST(SimFirmwareTest, UploadWithAWrongChecksumIsRefused) {
    SimOptions o;
    o.mode = SimMode::BootLoader;
    SimFirmware f(o);
    Feed(f, "h0;s3;a0;");
    Feed(f, "u1;xy");
    EXPECT_EQ(Feed(f, std::string(4, '\0')), "!\n");
    EXPECT_EQ(f.UploadsDone(), 0u);
}

TEST(SimFirmwareTest, UnpluggedWhenTheCommandAfterTheNthArrives) {
    SimOptions o;
    o.faults.push_back(*ParseFault("unplug=2"));
    SimFirmware f(o);
    EXPECT_EQ(Feed(f, "V2;V0;"), "R1\nKT1\n");
    EXPECT_FALSE(f.Unplugged());
    EXPECT_EQ(Feed(f, "V0;"), "");
    EXPECT_TRUE(f.Unplugged());
}

TEST(SimFirmwareTest, ReadinessProbesAnswerBusyKTimes) {
    SimOptions o;
    o.faults.push_back(*ParseFault("notready=2"));
    SimFirmware f(o);
    EXPECT_EQ(Feed(f, "V2;V2;V2;"), "o0\no0\nR1\n");
}

class SimStateFile : public ::testing::Test {
protected:
    std::string path =
        (std::filesystem::temp_directory_path() /
         ("sim_state_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
          ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".json"))
            .string();
    void TearDown() override { std::filesystem::remove(path); }
    void Write(const std::string& text) { std::ofstream(path) << text; }
};

TEST_F(SimStateFile, RoundTripsModelModeAndFlash) {
    SimOptions o;
    o.modelId = 276;
    SimFirmware f(o);
    f.SetMode(SimMode::BootLoader);
    std::vector<uint8_t> region(512, 0xFF);
    region[7] = 0x42;
    f.SetRegion(0, 112, region);
    SaveState(CaptureState(f), path);

    auto loaded = LoadState(path);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->modelId, 276);
    SimOptions o2;
    o2.modelId = loaded->modelId;
    SimFirmware g(o2);
    ApplyState(*loaded, g);
    EXPECT_EQ(g.Mode(), SimMode::BootLoader);
    EXPECT_EQ(g.Region(0, 112), region);
    EXPECT_EQ(g.Region(0, 111), std::vector<uint8_t>(512, 0xFF));
}

// The disk fills up when the file is closed.
struct FullAtClose : Threading::FileCalls {
    int Close(int fd) override {
        FileCalls::Close(fd);
        return ENOSPC;
    }
};

TEST_F(SimStateFile, SaveFailingAtCloseKeepsTheOldStateAndFails) {
    SimFirmware f;
    f.SetMode(SimMode::BootLoader);
    SaveState(CaptureState(f), path);
    f.SetMode(SimMode::Application);
    FullAtClose full;
    try {
        SaveState(CaptureState(f), path, full);
        ADD_FAILURE() << "a failed close was not reported";
    } catch (const tsl::wruntime_error& e) {
        EXPECT_EQ(e.wwhat(), L"Cannot write simulation state file " + tsl::FromUtf8(path) +
                                 L": no space left on the device.");
    }
    auto kept = LoadState(path);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->mode, SimMode::BootLoader);
}

TEST_F(SimStateFile, MissingFileIsNoState) {
    EXPECT_FALSE(LoadState(path));
}

TEST_F(SimStateFile, BadFilesAreClearErrors) {
    for (const char* text :
         {"", "{", "[]", R"({"model": 275})", R"({"model": 70000, "mode": "application"})",
          R"({"model": 275, "mode": "sleeping"})",
          R"({"model": 275, "mode": "application", "flash": [{"memory": 0,
                                "region": 1, "bytes": "XYZ"}]})",
          R"({"model": 275, "mode": "application", "flash": [{"memory": 9,
                                "region": 1, "bytes": "00"}]})"}) {
        Write(text);
        EXPECT_THROW(LoadState(path), tsl::wruntime_error) << text;
    }
}

}  // namespace
