// The house curve and the correction limits through the Calculate step: the calculated curve
// follows the shaped target, the equaliser keeps to its limits, and the settings travel with
// the document.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "WizardFixture.h"
#include "correction/fit_support.h"
#include "document/DocFile.h"
#include "wizard/CalculateFit.h"
#include "wizard/Steps.h"

namespace {

using namespace fittest;

constexpr uint16_t kKettrin2 = 0x114;
constexpr int32_t kCrossover = 200;

// A room without modes, and one with a deep null.
const Room kPlainRoom{15.0, false, 220.0, {}, 0.0};
const Room kNullRoom{15.0, false, 220.0, {{70.0, -20.0, 6.0}, {45.0, 6.0, 5.0}}, 0.0};

void Measured(DocData& doc, const Room& room) {
    doc.modelId = kKettrin2;
    doc.crossover = kCrossover;
    doc.measurements = {Measurement(room)};
}

// Calculates with the document's crossover.
void Calculate(DocData& doc) {
    double level = 0.0;
    ASSERT_TRUE(BuildTarget(doc, 0, level));
    ASSERT_TRUE(FitEqualizer(doc, level));
}

double LevelAt(const CCurve& c, double f) {
    CCurve copy = c;
    ToDbPhase(copy);
    return ValueAt(copy, f).first;
}

// The calculated curve's level change against the same room calculated without a house curve,
// with the given high-pass order (a fixed one fits from the minimum EQ frequency, 20 Hz).
struct Change {
    DocData plain, shaped;
    Change(const Room& room, const HouseSettings& house, int32_t hpOrder = SLOPE_AUTO) {
        for (DocData* d : {&plain, &shaped}) {
            Measured(*d, room);
            d->hpOrder = hpOrder;
        }
        shaped.house = house;
        Calculate(plain);
        Calculate(shaped);
    }
    double At(double f) const {
        return LevelAt(*shaped.results[2], f) - LevelAt(*plain.results[2], f);
    }
};

// The largest level of the equaliser as the upload writes it (overall gain included) over the
// fit band, dB.
double LargestBoost(const DocData& doc) {
    const CurvePtr delivered = DeliveredResponse(doc);
    EXPECT_TRUE(delivered);
    if (!delivered)
        return 1e9;
    const auto [lo, hi] = FitLimits(doc);
    double largest = -1e9;
    for (int i = 0; i < delivered->Count(); ++i) {
        const double f = delivered->X()[i];
        if (f >= lo && f <= hi)
            largest = std::max(largest, LevelDbAt(*delivered, i) - LevelDbAt(*doc.results[0], i));
    }
    return largest;
}

}  // namespace

TEST(HouseCurveCalculation, ShelfAndTiltShapeTheCalculatedCurve) {
    HouseSettings shelf;
    shelf.shelfDb = 6.0;
    shelf.shelfHz = 50.0;
    // 25 Hz lies where the fit fades its correction out below the band (up to 1.41 times its
    // lower end): from 20 Hz, as a second-order high-pass at 20 Hz has it, it keeps most of it.
    const Change s(kPlainRoom, shelf, 3);
    const double lift = s.At(25.0) - s.At(150.0);
    std::printf("+6 dB shelf at 50 Hz: 25 Hz is %.2f dB above 150 Hz\n", lift);
    EXPECT_NEAR(lift, 6.0, 1.0);

    HouseSettings tilt;
    tilt.tiltDbPerOctave = -1.0;
    const Change t(kPlainRoom, tilt);
    // The slope of the change over log frequency across the fit band, least squares.
    const auto [lo, hi] = FitLimits(t.shaped);
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int n = 0;
    for (double f = lo; f <= hi; f *= std::pow(2.0, 1.0 / 12.0), ++n) {
        const double x = std::log2(f), y = t.At(f);
        sx += x, sy += y, sxx += x * x, sxy += x * y;
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    std::printf("-1 dB/octave tilt: %.2f dB per octave over %.0f-%.0f Hz\n", slope, lo, hi);
    EXPECT_NEAR(slope, -1.0, 0.3);
}

TEST(HouseCurveCalculation, AFileGivesTheTargetItsOptionsGive) {
    HouseSettings options;
    options.shelfDb = 8.0;
    options.shelfHz = 40.0;
    options.tiltDbPerOctave = -0.5;
    // The same shape as a file, 48 points per octave, with the calibration files' comments,
    // separators and line ends.
    std::string text = "* house curve\r\n\"from the options\"\r\n";
    for (double f = 5.0; f < 30000.0; f *= std::pow(2.0, 1.0 / 48.0)) {
        char line[64];
        std::snprintf(line, sizeof line, "%.6f,\t%.6f\r\n", f, HouseGainDb(options, kCrossover, f));
        text += line;
    }
    HouseSettings fromFile;
    fromFile.file = ParseHouseCurve(text, L"house.txt");
    DocData a, b;
    Measured(a, kNullRoom);
    a.house = options;
    Measured(b, kNullRoom);
    b.house = fromFile;
    double levelA = 0.0, levelB = 0.0;
    ASSERT_TRUE(BuildTarget(a, 0, levelA));
    ASSERT_TRUE(BuildTarget(b, 0, levelB));
    EXPECT_NEAR(levelA, levelB, 0.05);
    const CCurve& ta = *a.results[1];
    const CCurve& tb = *b.results[1];
    ASSERT_EQ(ta.Count(), tb.Count());
    const Deviation d = LevelDeviation(ta, tb, 5.0, 24000.0);
    EXPECT_LT(d.maxDb, 0.05);
}

TEST(HouseCurveCalculation, TheEqualiserKeepsToTheLargestBoost) {
    DocData plain;
    Measured(plain, kNullRoom);
    Calculate(plain);
    const double free = LargestBoost(plain);
    std::printf("deep null: largest boost %.2f dB by default\n", free);
    EXPECT_GT(free, 4.0);  // the null asks for more than either limit

    for (const auto& [maxBoost, allowed] : {std::pair{0.0, 0.5}, std::pair{3.0, 3.5}}) {
        DocData doc;
        Measured(doc, kNullRoom);
        doc.house.maxBoostDb = maxBoost;
        Calculate(doc);
        const double largest = LargestBoost(doc);
        std::printf("largest boost %.2f dB with a limit of %.0f dB\n", largest, maxBoost);
        EXPECT_LE(largest, allowed) << maxBoost;
    }

    // The upper limit clips the fit band; one that leaves no band is refused.
    DocData upper;
    Measured(upper, kNullRoom);
    upper.house.upperHz = 100.0;
    Calculate(upper);
    EXPECT_EQ(FitLimits(upper).second, 100.0);
    EXPECT_NE(upper.eq, plain.eq);
    upper.house.upperHz = kUpperHzMin;
    upper.hpOrder = 3;
    upper.minEqFreq = 60;
    double level = 0.0;
    ASSERT_TRUE(BuildTarget(upper, 0, level));
    EXPECT_THROW(FitEqualizer(upper, level), tsl::wruntime_error);
}

class HouseCurveDocument : public WizardTest {};

// Saved and reopened, the document calculates with its house curve on the window's road (the
// Calculate wizard through the target dialog), and a wizard that fails leaves it as it was.
TEST_F(HouseCurveDocument, ReopenedItCalculatesWithItsHouseCurveAndKeepsIt) {
    HouseSettings house;
    house.shelfDb = 4.0;
    house.tiltDbPerOctave = 0.5;
    house.file = ParseHouseCurve("20 1\n100 -1\n", L"gentle.txt");
    house.maxBoostDb = 2.5;
    house.upperHz = 180.0;

    DocData expected;
    Measured(expected, kNullRoom);
    expected.house = house;
    Calculate(expected);

    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("house_doc_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".CVD");
    DocData saved;
    Measured(saved, kNullRoom);
    saved.house = house;
    saved.fitMethod = FitMethod::Classic;
    WriteDocFile(path, saved);
    ReadDocFile(path, document.data);
    std::filesystem::remove(path);
    EXPECT_EQ(document.data.house, house);

    const auto accept = [](IProcDialog&, const DocData&) -> std::unique_ptr<ITargetDialog> {
        struct Accept : ITargetDialog {
            bool DoModal(TargetSettings&) override { return true; }
        };
        return std::make_unique<Accept>();
    };
    const auto cancel = [](IProcDialog&, const DocData&) -> std::unique_ptr<ITargetDialog> {
        return nullptr;
    };
    ASSERT_FALSE(Run(kWizardCalculate, kOptionTargetDialog, StandardSteps({}, cancel)));
    EXPECT_EQ(document.data.house, house);
    EXPECT_EQ(document.data.fitMethod, FitMethod::Classic);

    document.data.fitMethod.reset();
    ASSERT_TRUE(Run(kWizardCalculate, kOptionTargetDialog, StandardSteps({}, accept)));
    const DocData& d = document.data;
    EXPECT_EQ(d.house, house);
    ASSERT_EQ(d.results.size(), 3u);
    EXPECT_LT(LevelDeviation(*d.results[1], *expected.results[1], 5.0, 24000.0).maxDb, 1e-9);
    EXPECT_EQ(d.eq, expected.eq);
}
