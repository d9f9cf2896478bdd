// Plain-text calibration files: what is read, what is refused with which line, and the
// correction made from them.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>

#include "measure/CorrectionManager.h"
#include "measure/TextCalibration.h"
#include "threading/Errors.h"

using Security::ParseTextCalibration;

TEST(TextCalibration, ReadsCommentsSensitivityCrlfAndMissingPhase) {
    struct Case {
        const char* name;
        std::string text;
        int points;
        double sensitivity, firstLevel, lastPhaseDeg;
        bool hasPhase;
    };
    const Case cases[] = {
        {"plain", "20 -1.5 10\n1000 0 0\n20000 2.25 -45\n", 3, 0.0, -1.5, -45.0, true},
        {"comments and blank lines",
         "* made by the lab\n\"quoted note\"\n\n  20\t-1\t5\n  40 0 0\n", 2, 0.0, -1.0, 0.0, true},
        {"quoted sensitivity header", "\"Sens Factor =-.7dB, SERNO: 7000\"\n10 1 0\n20 2 0\n", 2,
         -0.7, 0.3, 0.0, true},
        {"plain sensitivity header", "Sens Factor =+2.5dB\n10 1\n20 2\n", 2, 2.5, 3.5, 0.0, false},
        {"crlf, bom and no phase", "\xEF\xBB\xBF* x\r\n10 -3\r\n100 -1\r\n1000 0\r\n", 3, 0.0, -3.0,
         0.0, false},
        {"comma separated", "10,1,90\n20;2;180\n", 2, 0.0, 1.0, 180.0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto cal = ParseTextCalibration(c.text, L"mic.txt");
        ASSERT_TRUE(cal.curve);
        ASSERT_EQ(cal.curve->Count(), c.points);
        EXPECT_EQ(cal.curve->Format(), DataFormat::DbPhase);
        EXPECT_DOUBLE_EQ(cal.sensitivityDb, c.sensitivity);
        EXPECT_NEAR(cal.curve->First()[0], c.firstLevel, 1e-12);
        EXPECT_NEAR(cal.curve->Second()[c.points - 1], c.lastPhaseDeg * std::numbers::pi / 180.0,
                    1e-12);
        EXPECT_EQ(cal.hasPhase, c.hasPhase);
    }
}

TEST(TextCalibration, MalformedFilesNameTheFileAndTheLine) {
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"* hdr\n20 0\n30 abc\n", "\"mic.txt\": line 3: expected \"frequency dB [phase]\""},
        {"20 0\n30\n", "line 2: expected"},
        {"20 0 0 0\n30 1\n", "line 1: expected"},
        {"20 0\n20 1\n", "line 2: the frequencies must rise"},
        {"-5 0\n20 1\n", "line 1: the frequency must be above 0 Hz"},
        {"20 nan\n30 1\n", "line 1: expected"},
        {"20 1e999\n30 1\n", "line 1: expected"},
        {"20 1e300\n30 1\n", "line 1: the level is out of range"},
        {"Sens Factor =1dB\nSens Factor =2dB\n", "line 2: a second sensitivity"},
        {"* only comments\n", "fewer than two"},
        {"", "fewer than two"},
        {std::string(Security::kMaxTextCalibrationBytes + 1, '*'), "larger than 4 MB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        try {
            ParseTextCalibration(c.text, L"mic.txt");
            ADD_FAILURE() << "accepted";
        } catch (const tsl::wruntime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
        }
    }
}

TEST(TextCalibration, TooManyPointsAreRefusedAndAFileBecomesACorrection) {
    std::string many;
    for (std::size_t i = 1; i <= Security::kMaxTextCalibrationPoints + 1; ++i)
        many += std::to_string(i) + " 0\n";
    EXPECT_THROW(ParseTextCalibration(many, L"big.txt"), tsl::wruntime_error);

    const auto path = std::filesystem::temp_directory_path() / "tsl_text_calibration.txt";
    {
        std::ofstream out(path, std::ios::binary);
        out << "\"Sens Factor =-1dB\"\n";
        for (int k = 0; k <= 100; ++k)
            out << 10.0 * std::pow(2000.0, k / 100.0) << " 3\n";
    }
    const auto cal = Security::ReadTextCalibration(path);
    std::filesystem::remove(path);
    const auto manager = MakeTextCorrection(*cal.curve);
    ASSERT_TRUE(manager);
    EXPECT_EQ(manager->Mode(), kTextCalibrationMode);
    // A flat +2 dB microphone (3 dB less 1 dB sensitivity) lowers a flat response by 2 dB.
    auto response = std::make_shared<CCurve>(3, AxisKind::Frequency, DataFormat::DbPhase);
    for (int i = 0; i < 3; ++i)
        response->X()[i] = 50.0 * (i + 1);
    ApplyCorrection(*manager, *response);
    ToDbPhase(*response);
    for (int i = 0; i < response->Count(); ++i) {
        if (response->X()[i] > 40.0 && response->X()[i] < 5000.0) {
            EXPECT_NEAR(response->First()[i], -2.0, 0.05) << response->X()[i];
        }
    }
    EXPECT_THROW(Security::ReadTextCalibration(path), tsl::wruntime_error);
}

// A sparse file still corrects every point of a response, which keeps its own axis; a file that
// does not reach across the measuring band is refused with the range it covers.
TEST(TextCalibration, ASparseFileIsResampledOntoTheResponseAndANarrowOneIsRefused) {
    const auto cal = ParseTextCalibration("10 4\n20000 -4\n", L"two.txt");
    EXPECT_NO_THROW(Security::RequireMeasuringBand(cal, L"two.txt"));
    const auto manager = MakeTextCorrection(*cal.curve);
    ASSERT_TRUE(manager);
    // A flat 0 dB response on an FFT axis from 0 Hz, beyond both ends of the file.
    const int n = 8193;
    CCurve response(n, AxisKind::Frequency, DataFormat::DbPhase);
    for (int i = 0; i < n; ++i) {
        response.X()[i] = 24000.0 * i / (n - 1);
        response.First()[i] = response.Second()[i] = 0.0;
    }
    ApplyCorrection(*manager, response);
    ASSERT_EQ(response.Count(), n);
    EXPECT_EQ(response.X()[n - 1], 24000.0);
    ToDbPhase(response);
    // The level falls 8 dB over log2(2000) octaves; smoothing leaves a straight line as it is.
    const auto expected = [](double f) {
        return -(4.0 - 8.0 * std::log(f / 10.0) / std::log(2000.0));
    };
    for (const double f : {40.0, 100.0, 250.0, 1000.0}) {
        const int i = static_cast<int>(std::lround(f / 24000.0 * (n - 1)));
        EXPECT_NEAR(response.First()[i], expected(response.X()[i]), 0.05) << f;
    }
    EXPECT_NEAR(response.First()[0], response.First()[1], 1e-9);          // held below 10 Hz
    EXPECT_NEAR(response.First()[n - 1], response.First()[n - 2], 1e-9);  // and above the top

    const std::pair<const char*, const char*> narrow[] = {
        {"30 0\n20000 0\n", "covers 30 to 20000 Hz; a measurement needs 20 to 500 Hz."},
        {"10 0\n400 0\n", "covers 10 to 400 Hz"},
    };
    for (const auto& [text, message] : narrow) {
        try {
            Security::RequireMeasuringBand(ParseTextCalibration(text, L"n.txt"), L"n.txt");
            ADD_FAILURE() << text;
        } catch (const tsl::wruntime_error& e) {
            EXPECT_NE(std::string(e.what()).find(std::string("\"n.txt\": it ") + message),
                      std::string::npos)
                << e.what();
        }
    }
    EXPECT_NO_THROW(
        Security::RequireMeasuringBand(ParseTextCalibration("20 0\n500 0\n", L"e.txt"), L"e.txt"));
}
