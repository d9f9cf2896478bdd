// The house shape's gain (shelf, tilt, file), the limits' factors and the house curve file.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>

#include "correction/HouseCurve.h"
#include "threading/Errors.h"

namespace {

std::wstring ErrorOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const tsl::wruntime_error& e) {
        return e.wwhat();
    }
    return L"";
}

}  // namespace

TEST(HouseShape, ShelfTiltAndFileByTheirProperties) {
    for (double gain : {12.0, -6.0}) {
        HouseSettings s;
        s.shelfDb = gain;
        s.shelfHz = 50.0;
        EXPECT_NEAR(HouseGainDb(s, 200, 50.0), gain / 2.0, 1e-6) << gain;  // mid-slope
        EXPECT_NEAR(HouseGainDb(s, 200, 0.0), gain, 1e-9) << gain;
        EXPECT_NEAR(HouseGainDb(s, 200, 2.0), gain, 0.05) << gain;
        EXPECT_NEAR(HouseGainDb(s, 200, 2000.0), 0.0, 0.05) << gain;
    }

    HouseSettings tilt;
    tilt.tiltDbPerOctave = -1.5;
    EXPECT_EQ(HouseGainDb(tilt, 160, 160.0), 0.0);  // pivot at the crossover
    EXPECT_NEAR(HouseGainDb(tilt, 160, 40.0), 3.0, 1e-12);
    EXPECT_NEAR(HouseGainDb(tilt, 160, 640.0), -3.0, 1e-12);
    // Held below the lowest frequency, so 0 Hz stays finite.
    EXPECT_EQ(HouseGainDb(tilt, 160, 0.0), HouseGainDb(tilt, 160, kTiltLowestHz));

    HouseSettings file;
    file.file = HouseCurveFile{L"f", {{20.0, 0.0}, {80.0, 6.0}, {160.0, 2.0}}};
    EXPECT_NEAR(HouseGainDb(file, 200, 40.0), 3.0, 1e-12);  // straight over log frequency
    EXPECT_NEAR(HouseGainDb(file, 200, 80.0 * std::sqrt(2.0)), 4.0, 1e-12);
    EXPECT_EQ(HouseGainDb(file, 200, 5.0), 0.0);  // end values held
    EXPECT_EQ(HouseGainDb(file, 200, 0.0), 0.0);
    EXPECT_EQ(HouseGainDb(file, 200, 1e4), 2.0);

    // The target is multiplied by the shape; defaults leave it as it is, bit for bit.
    CCurve target(3, AxisKind::Frequency, DataFormat::DbPhase);
    for (int i = 0; i < 3; ++i) {
        target.X()[i] = 20.0 * (i + 1);
        target.First()[i] = -3.0 * i;
    }
    CCurve untouched = target;
    ApplyHouseCurve(untouched, HouseSettings{}, 160);
    EXPECT_EQ(untouched.Format(), DataFormat::DbPhase);
    EXPECT_EQ(untouched.First()[2], -6.0);
    HouseSettings all = file;
    all.tiltDbPerOctave = tilt.tiltDbPerOctave;
    all.shelfDb = 6.0;
    ApplyHouseCurve(target, all, 160);
    ToDbPhase(target);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(target.First()[i], -3.0 * i + HouseGainDb(all, 160, target.X()[i]), 1e-9);
}

TEST(HouseShape, LimitsAndRanges) {
    HouseSettings s;
    EXPECT_TRUE(s.IsDefault());
    EXPECT_FALSE(s.ShapesTarget());
    EXPECT_TRUE(IsValidHouseSettings(s));
    EXPECT_EQ(BoostLimit(s), 2.0);  // the fit's own cap, exactly
    s.maxBoostDb = 3.0;
    EXPECT_DOUBLE_EQ(BoostLimit(s), std::pow(10.0, 0.15));
    s.maxBoostDb = 0.0;
    EXPECT_EQ(BoostLimit(s), 1.0);
    s.upperHz = 120.0;
    EXPECT_TRUE(IsValidHouseSettings(s));

    const double nan = std::nan("");
    for (auto change : std::initializer_list<void (*)(HouseSettings&, double)>{
             [](HouseSettings&h, double v) { h.shelfDb = v; },
             [](HouseSettings&h, double v) { h.shelfHz = v; },
             [](HouseSettings&h, double v) { h.tiltDbPerOctave = v; },
             [](HouseSettings&h, double v) { h.maxBoostDb = v; },
             [](HouseSettings&h, double v) { h.upperHz = v; }}) {
        for (double bad : {nan, -1000.0, 1000.0}) {
            HouseSettings h;
            change(h, bad);
            EXPECT_FALSE(IsValidHouseSettings(h)) << bad;
        }
    }
    HouseSettings file;
    file.file = HouseCurveFile{L"f", {{20.0, 0.0}, {20.0, 1.0}}};
    EXPECT_FALSE(IsValidHouseSettings(file));  // frequencies must rise
    file.file->points = {{20.0, 0.0}};
    EXPECT_FALSE(IsValidHouseSettings(file));
    file.file->points = {{20.0, 0.0}, {40.0, nan}};
    EXPECT_FALSE(IsValidHouseSettings(file));
}

TEST(HouseCurveFile, ReadLikeTextCalibrationsAndRefusedNamingFileAndLine) {
    const HouseCurveFile f = ParseHouseCurve(
        "\xEF\xBB\xBF* target\r\n\"quoted\"\n20;4\n  40\t2.5  \r\n\n80, 0, 12\n", L"h.txt");
    EXPECT_EQ(f.name, L"h.txt");
    ASSERT_EQ(f.points.size(), 3u);
    EXPECT_EQ(f.points[1], (HouseCurvePoint{40.0, 2.5}));
    EXPECT_EQ(f.points[2], (HouseCurvePoint{80.0, 0.0}));  // a third column is ignored

    const std::pair<const char*, const wchar_t*> refused[] = {
        {"20 1\n10 2\n", L"House curve file \"h.txt\": line 2: the frequencies must rise"},
        {"20 1\nabc\n", L"House curve file \"h.txt\": line 2: expected"},
        {"20 1\n0 2\n", L"House curve file \"h.txt\": line 2: the frequency must be above 0"},
        {"20 1\n40 2000\n", L"House curve file \"h.txt\": line 2: the level is out of range"},
        {"* only\n20 1\n", L"House curve file \"h.txt\": fewer than two"}};
    for (const auto& [text, message] : refused) {
        const std::wstring e = ErrorOf([&] { ParseHouseCurve(text, L"h.txt"); });
        EXPECT_EQ(e.rfind(message, 0), 0u) << text << " -> " << tsl::ToUtf8(e);
    }

    const auto path = std::filesystem::temp_directory_path() / "no such house curve.txt";
    std::filesystem::remove(path);
    EXPECT_EQ(ErrorOf([&] { ReadHouseCurve(path); }),
              L"House curve file \"no such house curve.txt\": the file cannot be opened.");
}
