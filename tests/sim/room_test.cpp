// The simulated room and microphone: the room description, the equaliser read back from flash,
// the calibration file the microphone ships, and captures that a measurement analyses.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "correction/EqResult.h"
#include "measure/AudioDevice.h"
#include "measure/CorrectionManager.h"
#include "measure/Impulse.h"
#include "sim/SimMicrophone.h"
#include "sim/SimRoomEqualiser.h"
#include "threading/Errors.h"

using namespace Sim;

namespace {

double Db(std::complex<double> v) {
    return 20.0 * std::log10(std::abs(v));
}

std::filesystem::path TempDir(const std::string& name) {
    auto dir = std::filesystem::temp_directory_path() /
               ("tsl_room_test_" + name + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace

TEST(SimRoomDescriptionTest, AbsentKeysKeepTheDefaults) {
    const SimRoomDescription d = ParseRoom(R"({"seed": 3, "noiseDb": -60,
        "modes": [{"frequency": 40, "gainDb": 9}]})");
    EXPECT_EQ(d.seed, 3u);
    EXPECT_DOUBLE_EQ(d.noiseDb, -60);
    ASSERT_EQ(d.modes.size(), 1u);
    EXPECT_DOUBLE_EQ(d.modes[0].frequency, 40);
    EXPECT_DOUBLE_EQ(d.modes[0].q, RoomMode{}.q);
    EXPECT_DOUBLE_EQ(d.levelDb, DefaultRoom().levelDb);
    EXPECT_FALSE(DefaultRoom().modes.empty());
}

TEST(SimRoomDescriptionTest, BadDescriptionsAreRefusedWithAText) {
    EXPECT_THROW(ParseRoom("{"), tsl::wruntime_error);
    EXPECT_THROW(ParseRoom("[1, 2]"), tsl::wruntime_error);
    EXPECT_THROW(ParseRoom(R"({"noiseDb": "loud"})"), tsl::wruntime_error);
    EXPECT_THROW(ParseRoom(R"({"levelDb": 40})"), tsl::wruntime_error);
    EXPECT_THROW(ParseRoom(R"({"modes": [{"q": 0}]})"), tsl::wruntime_error);
    EXPECT_THROW(ParseRoom(R"({"modes": 5})"), tsl::wruntime_error);
    EXPECT_THROW(LoadRoom("/nonexistent/room.json"), tsl::wruntime_error);
    const auto dir = TempDir("load");
    std::ofstream(dir / "room.json") << R"({"delayMs": 12})";
    EXPECT_DOUBLE_EQ(LoadRoom((dir / "room.json").string()).delayMs, 12);
    std::filesystem::remove_all(dir);
}

TEST(SimRoomTest, PositionsDifferButRepeatForTheSameSeed) {
    const SimRoom a, b;
    SimRoomDescription other = DefaultRoom();
    other.seed = 99;
    const SimRoom c(other);
    EXPECT_EQ(a.Response(2, 47.0), b.Response(2, 47.0));
    EXPECT_GT(std::abs(Db(a.Response(1, 34.0)) - Db(a.Response(2, 34.0))) +
                  std::abs(Db(a.Response(1, 43.0)) - Db(a.Response(2, 43.0))),
              0.1);
    EXPECT_NE(a.Response(3, 34.0), c.Response(3, 34.0));
    // The first position is the room as described: a mode of +8 dB at 34 Hz stands out.
    EXPECT_GT(Db(a.Response(0, 34.0)) - Db(a.Response(0, 200.0)), 5.0);
    // The subwoofer rolls off below its corner and is flat in its band.
    EXPECT_LT(Db(a.Subwoofer(8.0)), -25.0);
    EXPECT_NEAR(Db(a.Subwoofer(60.0)), 0.0, 0.5);
}

TEST(SimEqualiserTest, ReadsBackTheBlockTheUploadWrites) {
    // A peaking section at the equaliser's 3000 Hz rate: b = (1.02, -1.9, 0.9), a = (-1.9, 0.92).
    SectionArrays s = SectionArrays::Identity(2);
    s.b0[0] = 1.02;
    s.b1[0] = -1.9;
    s.b2[0] = 0.9;
    s.a1[0] = -1.9;
    s.a2[0] = 0.92;
    EqResult result;
    result.valid = 1;
    result.bands = {GetBand(s, 0), GetBand(s, 1)};
    const auto block = BuildEqBlock(result, false, 224);
    ASSERT_TRUE(block);
    const std::vector<Biquad> sections = DecodeEqualiser(*block);
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_NEAR(sections[0].b0, 1.02, 1e-4);
    EXPECT_NEAR(sections[0].b1, -1.9, 1e-4);
    EXPECT_NEAR(sections[0].b2, 0.9, 1e-4);
    EXPECT_NEAR(sections[0].a1, -1.9, 1e-8);
    EXPECT_NEAR(sections[0].a2, 0.92, 1e-8);
    EXPECT_NEAR(sections[1].b0, 1.0, 1e-4);
    for (double f : {20.0, 60.0, 200.0}) {
        const auto z1 = std::polar(1.0, -2.0 * M_PI * f / 3000.0);
        const auto exact = (1.02 - 1.9 * z1 + 0.9 * z1 * z1) / (1.0 - 1.9 * z1 + 0.92 * z1 * z1);
        EXPECT_NEAR(Db(EqualiserResponse(sections, f, 3000.0)), Db(exact), 0.05) << f;
    }
}

TEST(SimEqualiserTest, ErasedOrDamagedBlocksAreFlat) {
    EXPECT_TRUE(DecodeEqualiser(std::vector<uint8_t>(224, 0xFF)).empty());
    EXPECT_TRUE(DecodeEqualiser({}).empty());
    EqResult result;
    result.bands = {kIdentityBand};
    auto block = BuildEqBlock(result, false, 224);
    ASSERT_TRUE(block);
    (*block)[3] ^= 0x40;
    EXPECT_TRUE(DecodeEqualiser(*block).empty());
    EXPECT_EQ(EqualiserResponse({}, 50.0, 3000.0), std::complex<double>(1.0, 0.0));
}

TEST(SimMicrophoneTest, ShipsAVersionThreeFileTheReaderAccepts) {
    const SimMicrophone mic;
    const auto dir = TempDir("cal");
    const auto path = mic.WriteCalibrationFile(dir / "cal");
    EXPECT_EQ(path.filename(), "1234567Corvana.cal");
    std::ifstream in(path, std::ios::binary);
    uint32_t version = 0;
    in.read(reinterpret_cast<char*>(&version), 4);
    in.close();
    EXPECT_EQ(version, 3u);
    const CurvePtr reference = Fft(*SweepReference(kSweepLength, kSweepRate));
    const auto correction = AudioSampler::LoadCorrectionFile(path, 0, reference);
    ASSERT_TRUE(correction);
    // A flat response divided by the correction is the inverse of the capsule.
    CCurve flat(200, AxisKind::Frequency, DataFormat::Cartesian);
    for (int i = 0; i < 200; ++i) {
        flat.X()[i] = 10.0 + 2.0 * i;
        flat.First()[i] = 1.0;
    }
    correction->Apply(flat);
    ToDbPhase(flat);
    for (double f : {20.0, 40.0, 70.0, 150.0, 300.0})
        EXPECT_NEAR(ValueAt(flat, f).first, -Db(mic.Response(f)), 0.3) << f;
    std::filesystem::remove_all(dir);
}
