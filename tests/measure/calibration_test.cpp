// Calibration files: key derivation, deciphering, the folder scan, selection and validation.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "measure/CalibrationFileBuilder.h"
#include "measure/FakePrompt.h"
#include "measure/Secure.h"
#include "measure/Xtea.h"
#include "threading/Errors.h"

namespace fs = std::filesystem;
using testcal::BuildFile;
using testcal::FakePrompt;
using testcal::SamplePoints;

namespace {

class TempDir {
public:
    TempDir() {
        std::random_device r;
        path_ = fs::temp_directory_path() / ("tsl_cal_" + std::to_string(r()));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }
    fs::path Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream out(path_ / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path_ / name;
    }

private:
    fs::path path_;
};

std::wstring ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const tsl::wruntime_error& e) {
        return e.wwhat();
    }
    return L"(no error)";
}

constexpr wchar_t kInvalid[] = L"Invalid security file";

}  // namespace

TEST(CalibrationKey, TableEntriesOfTheSerialHalves) {
    // Entries of the MSB-first checksum table for bytes 1..4.
    const auto key = Security::DeriveKey(0x00020001u, 0x00040003u);
    EXPECT_EQ(key[0], 0x04C11DB7u);
    EXPECT_EQ(key[1], 0x09823B6Eu);
    EXPECT_EQ(key[2], 0x0D4326D9u);
    EXPECT_EQ(key[3], 0x130476DCu);
}

TEST(CalibrationKey, RepeatedHalvesAreIncrementedUntilDistinct) {
    // Halves 1, 1, 1, 1 become 1, 2, 3, 4.
    EXPECT_EQ(Security::DeriveKey(0x00010001u, 0x00010001u),
              Security::DeriveKey(0x00020001u, 0x00040003u));
    // Halves 5, 5, 6, 5: the second becomes 6, the third 7, the fourth 8.
    EXPECT_EQ(Security::DeriveKey(0x00050005u, 0x00050006u),
              Security::DeriveKey(0x00060005u, 0x00080007u));
    // Only the low byte of each half selects the entry, and increments wrap at 16 bits.
    const auto wrapped = Security::DeriveKey(0xFFFFFFFFu, 0u);
    EXPECT_EQ(wrapped[1], 0u);           // 0xFFFF + 1 wraps to 0: entry 0 is 0
    EXPECT_EQ(wrapped[2], 0x04C11DB7u);  // 0 is taken, so 1
    EXPECT_EQ(wrapped[3], 0x09823B6Eu);  // 0 and 1 are taken, so 2
}

TEST(CalibrationCipher, DeciphersTheReferenceVector) {
    const Security::XteaKey key{0x00010203u, 0x04050607u, 0x08090A0Bu, 0x0C0D0E0Fu};
    uint32_t y = 0x497DF3D0u, z = 0x72612CB5u;
    Security::DecipherBlock(y, z, key);
    EXPECT_EQ(y, 0x41424344u);
    EXPECT_EQ(z, 0x45464748u);
}

TEST(CalibrationNames, OnlyWholeDecimalPrefixesParse) {
    EXPECT_EQ(Security::ParseCalibrationFileName(L"1234Corvana.cal"), 1234);
    EXPECT_EQ(Security::ParseCalibrationFileName(L"-7Corvana.cal"), -7);
    EXPECT_FALSE(Security::ParseCalibrationFileName(L"Corvana.cal"));
    EXPECT_FALSE(Security::ParseCalibrationFileName(L"12aCorvana.cal"));
    EXPECT_FALSE(Security::ParseCalibrationFileName(L"12 Corvana.cal"));
    EXPECT_FALSE(Security::ParseCalibrationFileName(L"99999999999Corvana.cal"));
    EXPECT_EQ(Security::CalibrationFileName(1234), L"1234Corvana.cal");
}

TEST(CalibrationRegistry, ScanKeepsParsableNamesAndSelectionOpensTheChoice) {
    TempDir dir;
    const auto points = SamplePoints();
    dir.Write("1234Corvana.cal", BuildFile(3, 0, 1234, points));
    dir.Write("55Corvana.cal", BuildFile(3, 0, 55, points));
    dir.Write("Corvana.cal", {1, 2, 3});
    dir.Write("12aCorvana.cal", {1, 2, 3});
    dir.Write("77Corvana.txt", {1, 2, 3});
    dir.Write(
        "\xff\xfe"
        "9Corvana.cal",
        {1, 2, 3});  // not text: skipped, not a failure

    FakePrompt prompt;
    Security::Secure registry(dir.path(), &prompt);
    EXPECT_FALSE(registry.SelectedMicSerial());
    ASSERT_TRUE(registry.ScanCalibrationFiles());
    EXPECT_TRUE(registry.Found());
    ASSERT_EQ(registry.Entries().size(), 2u);

    prompt.answer = 1;
    ASSERT_TRUE(registry.SelectCalibrationFile());
    EXPECT_EQ(prompt.lastPrompt, L"Select microphone serial number:");
    EXPECT_EQ(prompt.lastChoices, (std::vector<std::wstring>{L"1234", L"55"}));
    EXPECT_EQ(registry.SelectedMicSerial(), 55);
    EXPECT_EQ(registry.SelectedUnitSerial(), 0);
    ASSERT_NE(registry.Reader(), nullptr);
    EXPECT_TRUE(prompt.boxes.empty());

    prompt.answer.reset();
    EXPECT_FALSE(registry.SelectCalibrationFile());
}

TEST(CalibrationRegistry, EmptyFolderAndUnopenableFileShowTheirMessages) {
    TempDir dir;
    FakePrompt prompt;
    Security::Secure registry(dir.path(), &prompt);
    EXPECT_FALSE(registry.ScanCalibrationFiles());
    EXPECT_FALSE(registry.SelectCalibrationFile());
    ASSERT_EQ(prompt.boxes.size(), 1u);
    EXPECT_EQ(prompt.boxes[0].text,
              L"No calibration files found in application directory that match. (code = 0x02)");
    EXPECT_EQ(prompt.boxes[0].caption, L"Error.");

    EXPECT_FALSE(registry.OpenCalibrationFile({0, 42, L"42Corvana.cal"}));
    ASSERT_EQ(prompt.boxes.size(), 2u);
    EXPECT_EQ(prompt.boxes[1].text, L"Failed to pre-open calibration file(s). (code = 0x01)");
    EXPECT_EQ(registry.Reader(), nullptr);
    EXPECT_FALSE(registry.SelectedMicSerial());
}

TEST(CalibrationRegistry, UnitSerialIsShownWhenNotZero) {
    TempDir dir;
    dir.Write("9Corvana.cal", BuildFile(3, 0, 9, SamplePoints()));
    FakePrompt prompt;
    Security::Secure registry(dir.path(), &prompt);
    registry.ScanCalibrationFiles();
    prompt.answer = 0;
    ASSERT_TRUE(registry.SelectCalibrationFile());
    EXPECT_EQ(prompt.lastChoices, std::vector<std::wstring>{L"9"});
}

struct VersionCase {
    uint32_t version, unit, mic;
};

class CalibrationVersions : public ::testing::TestWithParam<VersionCase> {};

TEST_P(CalibrationVersions, ReadsEveryColumnWithRepeatedSerialHalves) {
    const auto c = GetParam();
    TempDir dir;
    const auto points = SamplePoints();
    const auto bytes = BuildFile(c.version, c.unit, c.mic, points);
    dir.Write(std::to_string(static_cast<int32_t>(c.mic)) + "Corvana.cal", bytes);

    Security::Secure registry(dir.path(), nullptr);
    ASSERT_TRUE(registry.OpenCalibrationFile(
        {static_cast<int32_t>(c.unit), static_cast<int32_t>(c.mic), L""}));
    CCurve curve;
    int32_t version = -1;
    std::vector<uint8_t> image;
    Security::ReadCalibration(registry, static_cast<int32_t>(c.unit), static_cast<int32_t>(c.mic),
                              curve, version, &image);
    EXPECT_EQ(version, static_cast<int32_t>(c.version));
    EXPECT_EQ(image, bytes);  // the image is handed back still enciphered
    ASSERT_EQ(curve.Count(), static_cast<int>(points.size()));
    EXPECT_EQ(curve.Format(), DataFormat::Cartesian);
    EXPECT_EQ(curve.Kind(), AxisKind::Frequency);
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(curve.X()[i], points[i].frequency);
        EXPECT_EQ(curve.First()[i], points[i].re);
        EXPECT_EQ(curve.Second()[i], points[i].im);
    }
}

INSTANTIATE_TEST_SUITE_P(VersionsAndSerials, CalibrationVersions,
                         ::testing::Values(VersionCase{1, 0, 1234}, VersionCase{2, 0, 0x00010001u},
                                           VersionCase{3, 0x00070007u, 0x00070007u},
                                           VersionCase{3, 0x00050005u, 0x00050006u},
                                           VersionCase{2, 0x00050005u, 0x00060005u},
                                           VersionCase{0, 0, 31}));

TEST(CalibrationValidation, FilesDifferingOnlyInRepeatedHalvesBothDecipher) {
    // Unit halves (1, 1) and (1, 2) with microphone halves (1, 1) both end as 1, 2, 3, 4: one
    // key for two files that only the trailer tells apart.
    ASSERT_EQ(Security::DeriveKey(0x00010001u, 0x00010001u),
              Security::DeriveKey(0x00020001u, 0x00010001u));
    TempDir dir;
    const auto points = SamplePoints();
    CCurve curve;
    int32_t version = 0;
    for (int32_t unit : {0x00010001, 0x00020001}) {
        dir.Write("65537Corvana.cal", BuildFile(3, static_cast<uint32_t>(unit), 65537, points));
        Security::Secure registry(dir.path(), nullptr);
        ASSERT_TRUE(registry.OpenCalibrationFile({unit, 65537, L""}));
        EXPECT_NO_THROW(Security::ReadCalibration(registry, unit, 65537, curve, version));
        EXPECT_EQ(curve.Count(), 4);
        const int32_t other = unit == 0x00010001 ? 0x00020001 : 0x00010001;
        EXPECT_EQ(
            ErrorOf([&] { Security::ReadCalibration(registry, other, 65537, curve, version); }),
            kInvalid);
        EXPECT_EQ(curve.Count(), 0);
    }
}

TEST(CalibrationValidation, EveryDefectIsRefused) {
    TempDir dir;
    const auto points = SamplePoints();
    const uint32_t mic = 77;
    auto check = [&](const std::vector<uint8_t>& bytes, uint32_t unit = 0) {
        dir.Write("77Corvana.cal", bytes);
        Security::Secure registry(dir.path(), nullptr);
        if (!registry.OpenCalibrationFile({static_cast<int32_t>(unit), 77, L""}))
            return std::wstring(L"(not opened)");
        CCurve curve;
        int32_t version = 0;
        return ErrorOf([&] {
            Security::ReadCalibration(registry, static_cast<int32_t>(unit), 77, curve, version);
        });
    };

    EXPECT_EQ(check({1, 0, 0, 0, 7, 0, 0}), kInvalid);  // 7 bytes

    auto newer = BuildFile(4, 0, mic, points);
    newer[newer.size() - 1] ^= 0xFF;  // the version is tested before the checksum
    EXPECT_EQ(check(newer), L"File version is newer then program version. Please update program.");

    auto badSum = BuildFile(3, 0, mic, points);
    badSum[20] ^= 0x01;
    EXPECT_EQ(check(badSum), kInvalid);

    auto badLength = testcal::PlainFile(3, 0, mic, points);
    testcal::PutWord(badLength, 4, static_cast<uint32_t>(badLength.size() + 8));
    testcal::Seal(badLength, 0, mic);
    EXPECT_EQ(check(badLength), kInvalid);

    // Four extra bytes: a consistent length field and checksum but not whole blocks.
    auto ragged = testcal::PlainFile(3, 0, mic, points);
    ragged.insert(ragged.end() - 4, {0, 0, 0, 0});
    testcal::PutWord(ragged, 4, static_cast<uint32_t>(ragged.size()));
    AppendChecksum(ragged.data(), ragged.size());
    EXPECT_EQ(check(ragged), kInvalid);

    // Eight extra bytes: whole blocks, but the point count no longer matches the size.
    auto longer = testcal::PlainFile(3, 0, mic, points);
    longer.insert(longer.end() - 4, 8, 0);
    testcal::PutWord(longer, 4, static_cast<uint32_t>(longer.size()));
    testcal::Seal(longer, 0, mic);
    EXPECT_EQ(check(longer), kInvalid);

    EXPECT_EQ(check(BuildFile(3, 0, 78, points)), kInvalid);  // trailer serial differs from name
    EXPECT_EQ(check(BuildFile(3, 5, mic, points), 0), kInvalid);  // other unit
    EXPECT_EQ(check(BuildFile(3, 5, mic, points), 5), L"(no error)");
}

TEST(CalibrationValidation, OversizedFileIsRefusedBeforeReading) {
    TempDir dir;
    const auto path = dir.Write("5Corvana.cal", {});
    fs::resize_file(path, Security::kMaxCalibrationFileBytes + 1);
    Security::Secure registry(dir.path(), nullptr);
    ASSERT_TRUE(registry.OpenCalibrationFile({0, 5, L""}));
    CCurve curve;
    int32_t version = 0;
    EXPECT_EQ(ErrorOf([&] { Security::ReadCalibration(registry, 0, 5, curve, version); }),
              kInvalid);
}

TEST(CalibrationValidation, ReadingWithoutAnOpenFileIsNotInitialized) {
    Security::Secure registry(fs::temp_directory_path(), nullptr);
    CCurve curve;
    int32_t version = 0;
    EXPECT_EQ(ErrorOf([&] { Security::ReadCalibration(registry, 0, 1, curve, version); }),
              L"Not Initialized");
}

TEST(CalibrationLoad, ReportsTheFileAndReturnsCurveVersionSerialAndImage) {
    TempDir dir;
    const auto bytes = BuildFile(2, 0, 1234, SamplePoints());
    dir.Write("1234Corvana.cal", bytes);
    FakePrompt prompt;
    prompt.answer = 0;
    Security::Secure registry(dir.path(), &prompt);
    std::vector<std::wstring> status;
    const auto loaded = Security::LoadCalibration(
        registry, [&](const std::wstring& s) { status.push_back(s); }, true);
    ASSERT_TRUE(loaded.curve);
    EXPECT_EQ(loaded.curve->Count(), 4);
    EXPECT_EQ(loaded.version, 2);
    EXPECT_EQ(loaded.micSerial, 1234);
    ASSERT_TRUE(loaded.image);
    EXPECT_EQ(*loaded.image, bytes);
    EXPECT_EQ(status, std::vector<std::wstring>{L"Using calibration file: 1234Corvana.cal"});
}

TEST(CalibrationLoad, NothingFoundReportsAndReturnsNoCurve) {
    TempDir dir;
    FakePrompt prompt;
    Security::Secure registry(dir.path(), &prompt);
    std::vector<std::wstring> status;
    const auto loaded = Security::LoadCalibration(
        registry, [&](const std::wstring& s) { status.push_back(s); }, false);
    EXPECT_FALSE(loaded.curve);
    EXPECT_EQ(status, std::vector<std::wstring>{L"Could not find microphone calibration files."});
}

TEST(CalibrationLoad, ReadsAFileByPath) {
    TempDir dir;
    const auto path = dir.Write("88Corvana.cal", BuildFile(1, 3, 88, SamplePoints()));
    const auto file = Security::ReadCalibrationFile(path, 3);
    EXPECT_EQ(file.micSerial, 88);
    EXPECT_EQ(file.version, 1);
    EXPECT_EQ(file.curve->Count(), 4);
    EXPECT_EQ(ErrorOf([&] { Security::ReadCalibrationFile(dir.path() / "x.cal", 0); }),
              L"No calibration files found in application directory that match. (code = 0x02)");
    EXPECT_EQ(ErrorOf([&] { Security::ReadCalibrationFile(dir.path() / "89Corvana.cal", 0); }),
              L"Failed to pre-open calibration file(s). (code = 0x01)");
}
