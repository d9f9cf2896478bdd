#include <gtest/gtest.h>

#include <string>

#include "sublink/BaseConfig.h"
#include "sublink/ModelVersion.h"
#include "sublink/VersionCheck.h"

namespace CUsbController {
namespace {

constexpr uint16_t kKettrin2 = 0x114;
constexpr uint16_t kIstrel1 = 0x102;
constexpr uint16_t kHalvern3 = 0x108;
constexpr uint16_t kAvrel1 = 0x100;

ModelVersion Parse(const std::wstring& text, const BaseConfig* model = nullptr) {
    ModelVersion v{'?', -1, -1};
    EXPECT_TRUE(ParseFirmwareVersion(text, model, v));
    return v;
}

bool Fails(const std::wstring& text) {
    ModelVersion v{'?', -7, -7};
    const bool ok = ParseFirmwareVersion(text, nullptr, v);
    EXPECT_EQ(v, (ModelVersion{'?', -7, -7})) << "a failed parse must not touch the version";
    return !ok;
}

TEST(VersionParsing, ReadsEveryPatternFamily) {
    EXPECT_EQ(Parse(L"v01.05B"), (ModelVersion{'B', 1, 5}));
    EXPECT_EQ(Parse(L"v1.02"), (ModelVersion{0, 1, 2}));
    EXPECT_EQ(Parse(L"v12.34"), (ModelVersion{0, 12, 34}));
    EXPECT_EQ(Parse(L"v1234"), (ModelVersion{0, 12, 34}));
    EXPECT_EQ(Parse(L"v102"), (ModelVersion{0, 1, 2}));
    EXPECT_EQ(Parse(L"v102c"), (ModelVersion{'c', 1, 2}));
    EXPECT_EQ(Parse(L"12.34Z"), (ModelVersion{'Z', 12, 34}));
    EXPECT_EQ(Parse(L"0.43"), (ModelVersion{0, 0, 43}));
    EXPECT_EQ(Parse(L"1234a"), (ModelVersion{'a', 12, 34}));
    EXPECT_EQ(Parse(L"102"), (ModelVersion{0, 1, 2}));
}

TEST(VersionParsing, RejectsTextsNoPatternFits) {
    EXPECT_TRUE(Fails(L"1.5"));  // one minor digit
    EXPECT_TRUE(Fails(L"v1.2"));
    EXPECT_TRUE(Fails(L""));
    EXPECT_TRUE(Fails(L"KT2"));  // the application's short code
    EXPECT_TRUE(Fails(L"platH_boot"));
    EXPECT_TRUE(Fails(L"V1.02"));  // the prefix is lower case only
    EXPECT_TRUE(Fails(L"1.02 "));
    EXPECT_TRUE(Fails(L"1.0\u0663"));  // digits are ASCII only
    EXPECT_TRUE(Fails(L"1.02\u00e9"));
    EXPECT_TRUE(Fails(L"123.45"));
    EXPECT_TRUE(Fails(L"1,02"));
}

TEST(VersionTranslation, MapsInternalVersionsPerModel) {
    const BaseConfig* kt2 = FindModelById(kKettrin2);
    const BaseConfig* istrel = FindModelById(kIstrel1);
    const BaseConfig* halvern3 = FindModelById(kHalvern3);
    ASSERT_TRUE(kt2 && istrel && halvern3);
    EXPECT_EQ(Parse(L"0.43", kt2), (ModelVersion{0, 1, 1}));
    EXPECT_EQ(Parse(L"0.05", kt2), (ModelVersion{0, 1, 1}));
    EXPECT_EQ(Parse(L"0.44", kt2), (ModelVersion{0, 1, 2}));
    EXPECT_EQ(Parse(L"0.48", kt2), (ModelVersion{0, 1, 3}));
    EXPECT_EQ(Parse(L"0.44A", kt2), (ModelVersion{'A', 0, 44}));  // exact entries want no letter
    EXPECT_EQ(Parse(L"0.43A", kt2), (ModelVersion{'A', 0, 43}));  // above "up to 0.43"
    EXPECT_EQ(Parse(L"0.42Z", kt2), (ModelVersion{0, 1, 1}));
    EXPECT_EQ(Parse(L"0.64", istrel), (ModelVersion{0, 1, 1}));
    EXPECT_EQ(Parse(L"0.60", istrel), (ModelVersion{0, 0, 60}));
    EXPECT_EQ(Parse(L"0.42", halvern3), (ModelVersion{0, 1, 1}));
    EXPECT_EQ(Parse(L"0.43", halvern3), (ModelVersion{0, 1, 2}));
    EXPECT_EQ(Parse(L"0.43", nullptr), (ModelVersion{0, 0, 43}));
    EXPECT_EQ(Parse(L"0.43", FindModelById(kAvrel1)), (ModelVersion{0, 0, 43}));
}

TEST(VersionFormat, PrintsTwoMinorDigitsAndTheLetter) {
    EXPECT_EQ(FormatVersion({0, 1, 2}), L"1.02");
    EXPECT_EQ(FormatVersion({'B', 1, 5}), L"1.05B");
    EXPECT_EQ(FormatVersion({0, 12, 34}), L"12.34");
    EXPECT_EQ(FormatVersion({0, 0, 0}), L"0.00");
}

TEST(VersionOrder, ComparesMajorThenMinorThenLetter) {
    EXPECT_LT((ModelVersion{'Z', 1, 1}), (ModelVersion{0, 1, 2}));
    EXPECT_LT((ModelVersion{'Z', 0, 99}), (ModelVersion{0, 1, 0}));
    EXPECT_LT((ModelVersion{0, 1, 2}), (ModelVersion{'A', 1, 2}));
}

TEST(FirmwareCheck, EnforcesTheModelMinimum) {
    const BaseConfig* kt2 = FindModelById(kKettrin2);
    ASSERT_NE(kt2, nullptr);
    EXPECT_EQ(MinimumVersion(kt2), (ModelVersion{0, 1, 2}));
    const CheckMinVersionCallback<> check;
    std::wstring message;
    EXPECT_FALSE(check.Check({0, 1, 1}, kt2, message));
    EXPECT_EQ(
        message,
        L"Found KT2 version 1.01. Your KT2's firmware version (1.01) is less than the minimum "
        L"required firmware version of: 1.02. Please go to " +
            FirmwarePageAddress(kt2) + L" to download the latest firmware for your KT2.");
    EXPECT_TRUE(check.Check({'A', 1, 2}, kt2, message));
    EXPECT_EQ(message, L"No Error");
    EXPECT_TRUE(check.Check({0, 1, 2}, kt2, message));
    EXPECT_TRUE(check.Check({0, 2, 0}, kt2, message));
}

TEST(FirmwareCheck, ModelsWithoutMinimumPassEverything) {
    const CheckMinVersionCallback<> check;
    std::wstring message;
    for (uint16_t id : {uint16_t{0x100}, uint16_t{0x113}, uint16_t{0x102}}) {
        EXPECT_EQ(MinimumVersion(FindModelById(id)), (ModelVersion{}));
        EXPECT_TRUE(check.Check({0, 0, 0}, FindModelById(id), message));
        EXPECT_EQ(message, L"No Error");
    }
    EXPECT_TRUE(check.Check({0, 0, 0}, nullptr, message));
}

TEST(FirmwareCheck, NamesAnUnknownModelUsbSub) {
    const auto minimum = [](const BaseConfig*) { return ModelVersion{0, 3, 0}; };
    const CheckMinVersionCallback<decltype(minimum)> check(minimum);
    std::wstring message;
    EXPECT_FALSE(check.Check({0, 2, 99}, nullptr, message));
    EXPECT_NE(message.find(L"Found USB Sub version 2.99. Your USB Sub's firmware version (2.99)"),
              std::wstring::npos);
    EXPECT_NE(message.find(L"version of: 3.00."), std::wstring::npos);
}

TEST(FirmwareAddress, UsesTheShortCodeAsPagePath) {
    const std::wstring address = FirmwarePageAddress(FindModelById(0x117));
    EXPECT_EQ(address.substr(address.size() - 5), L"/bos1");
    EXPECT_NE(address.find(L"corvana"), std::wstring::npos);
}

}  // namespace
}  // namespace CUsbController
