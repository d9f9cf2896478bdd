// tessaline-cli calculate on documents made from synthetic rooms, run in process.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include "cli/InProcessCli.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <utility>
#include <vector>

#include "correction/EqResult.h"
#include "correction/fit_support.h"
#include "document/DocFile.h"

namespace {

namespace fs = std::filesystem;
using testsupport::CliRun;
using testsupport::Slurp;

// RMS and largest level difference in dB of a against b raised by levelDb, over [lo, hi].
std::pair<double, double> Deviation(const CCurve& a, const CCurve& b, double levelDb, double lo,
                                    double hi) {
    CCurve x = a, y = b;
    ToDbPhase(x);
    ToDbPhase(y);
    double sum = 0.0, largest = 0.0;
    int n = 0;
    for (int i = 0; i < x.Count(); ++i) {
        if (x.X()[i] < lo || x.X()[i] > hi)
            continue;
        const double d = x.First()[i] - y.First()[i] - levelDb;
        sum += d * d;
        largest = std::max(largest, std::fabs(d));
        ++n;
    }
    return {n ? std::sqrt(sum / n) : 0.0, largest};
}

class CalculateCli : public testsupport::InProcessCliTest {
protected:
    CalculateCli() : InProcessCliTest("cli_calc_") {}
    std::string Document(bool withMeasurements, int32_t crossover = 200, double levelDb = 0.0) {
        DocData d;
        d.modelId = 0x114;
        d.crossover = crossover;
        if (withMeasurements) {
            const fittest::Room room{
                22.0, false, 180.0, {{42, 9, 6}, {68, 6, 8}, {55, -8, 5}, {110, 5, 4}}, levelDb};
            d.measurements = {fittest::Measurement(room)};
        }
        fs::path p = dir / "room.CVD";
        WriteDocFile(p, d);
        return p.string();
    }
};

TEST_F(CalculateCli, DetectionWritesTheDocumentAndReportsTheFit) {
    const std::string doc = Document(true);
    const std::string out = (dir / "fitted.CVD").string();
    CliRun r = Cli("calculate " + doc + " --detect-crossover --out " + out);
    ASSERT_EQ(r.code, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    for (const char* key : {"crossover", "hp_order", "hp_freq", "min_eq_freq", "fit_lower",
                            "fit_upper", "level_db", "eq", "fit"})
        EXPECT_TRUE(j.contains(key)) << key;
    const int crossover = j["crossover"];
    EXPECT_TRUE(crossover >= 160 && crossover <= 250 && crossover % 5 == 0) << crossover;
    EXPECT_EQ(j["eq"]["valid"], 1);
    EXPECT_EQ(j["eq"]["bands"].size(), 10u);

    DocData written;
    ReadDocFile(out, written);
    ASSERT_EQ(written.results.size(), 3u);
    const double level = j["level_db"], lo = j["fit_lower"], hi = j["fit_upper"];
    const auto before = Deviation(*written.results[0], *written.results[1], level, lo, hi);
    const auto after = Deviation(*written.results[2], *written.results[1], level, lo, hi);
    std::printf("fit band %.1f-%.1f Hz: before %.2f dB rms, after %.2f dB rms (max %.2f dB)\n", lo,
                hi, before.first, after.first, after.second);
    std::printf("delivered equaliser: %.2f dB rms, max %.2f dB\n", j["fit"]["rms_db"].get<double>(),
                j["fit"]["max_db"].get<double>());
    EXPECT_LT(after.first, before.first / 2.0);
    EXPECT_EQ(written.crossover, crossover);
    EXPECT_EQ(written.eq.gain, j["eq"]["gain"].get<double>());
    EXPECT_EQ(written.eq.bands[0].c2, j["eq"]["bands"][0]["c2"].get<double>());
    DocData original;
    ReadDocFile(doc, original);
    EXPECT_TRUE(original.results.empty());  // --out leaves the input alone
}

TEST_F(CalculateCli, OutOfRangeOverridesAreRefusedAndOthersSavedInPlace) {
    const std::string doc = Document(true);
    const std::string original = Slurp(doc);
    const std::pair<const char*, const char*> refused[] = {
        {"--crossover 1000", "--crossover: Value 1000 not in range 160 to 250"},
        {"--hp-order 99", "--hp-order: Value 99 not in range 0 to 9"},
        {"--min-eq 100000", "--min-eq must be from 20 to 200 Hz (the crossover): 100000"},
        {"--crossover 180 --hp-freq 190", "--hp-freq must be from 20 to 180 Hz"},
        {"--min-eq 5", "--min-eq must be from 20 to 200 Hz"}};
    for (const auto& [options, range] : refused) {
        CliRun r = Cli("calculate " + doc + " " + options);
        EXPECT_EQ(r.code, 1) << options;
        EXPECT_NE(r.err.find(range), std::string::npos) << options << ": " << r.err;
        EXPECT_TRUE(r.out.empty()) << options;
    }
    EXPECT_EQ(Slurp(doc), original);

    CliRun r = Cli("calculate " + doc + " --crossover 250 --hp-order 3 --hp-freq 250 --min-eq 20");
    ASSERT_EQ(r.code, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["crossover"], 250);
    EXPECT_EQ(j["hp_order"], 3);
    EXPECT_EQ(j["hp_freq"], 250);
    EXPECT_EQ(j["min_eq_freq"], 20);
    DocData written;
    ReadDocFile(doc, written);
    EXPECT_EQ(written.crossover, 250);
    EXPECT_EQ(written.results.size(), 3u);
}

// The fit figures are those of the equaliser the written document would upload (0x114 keeps
// its gain outside the block), against the target at the measurement's points in the fit band,
// whatever level the room was measured at. The fit's own error over its points hid what the
// coefficients' rounding costs at the lowest frequencies.
TEST_F(CalculateCli, FitFiguresAreTheDeliveredEqualisersAtAnyMeasuredLevel) {
    std::vector<nlohmann::json> fits;
    for (double level : {0.0, -20.0}) {
        const std::string doc = Document(true, 200, level);
        // The classic fit: the refined one may settle differently at another level.
        CliRun r = Cli("calculate --fit classic " + doc);
        ASSERT_EQ(r.code, 0) << r.err;
        const auto j = nlohmann::json::parse(r.out);
        fits.push_back(j["fit"]);
        DocData written;
        ReadDocFile(doc, written);
        ASSERT_EQ(written.results.size(), 3u);
        const auto sections = StoredSections(written.eq);
        ASSERT_TRUE(sections);
        CCurve delivered = *written.results[0];
        ToMagPhase(delivered);
        for (int i = 0; i < delivered.Count(); ++i)
            delivered.First()[i] *=
                CascadeMagnitude(*sections, 2 * std::numbers::pi * delivered.X()[i] / 3000);
        const double lo =
            j["hp_order"] != 0 ? j["min_eq_freq"].get<double>() : j["fit_lower"].get<double>();
        const double hi = std::min(j["fit_upper"].get<double>(), 250.0);
        const auto d = Deviation(delivered, *written.results[1], -written.eq.gain, lo, hi);
        EXPECT_NEAR(j["fit"]["rms_db"].get<double>(), d.first, 1e-9) << j["fit"];
        EXPECT_NEAR(j["fit"]["max_db"].get<double>(), d.second, 1e-9) << j["fit"];
    }
    EXPECT_NEAR(fits[1]["rms_db"].get<double>(), fits[0]["rms_db"].get<double>(), 0.05);
    EXPECT_NEAR(fits[1]["max_db"].get<double>(), fits[0]["max_db"].get<double>(), 0.1);
}

TEST_F(CalculateCli, WithoutOptionsTheDocumentsCrossoverIsUsed) {
    CliRun r = Cli("calculate " + Document(true, 185));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["crossover"], 185);
}

// The refined fit is the default; --fit classic chooses the classic one, which the document
// records and keeps for the next calculation until another is chosen.
TEST_F(CalculateCli, TheFitIsChosenRecordedAndKept) {
    const std::string doc = Document(true);
    auto method = [&](const std::string& options) {
        CliRun r = Cli("calculate " + doc + options);
        EXPECT_EQ(r.code, 0) << r.err;
        DocData written;
        ReadDocFile(doc, written);
        EXPECT_EQ(
            written.fitMethod,
            FitMethodFromName(nlohmann::json::parse(r.out)["fit"]["method"].get<std::string>()));
        return std::make_pair(nlohmann::json::parse(r.out)["fit"]["method"], written.eq);
    };
    const auto refined = method("");
    EXPECT_EQ(refined.first, "refined");
    const auto classic = method(" --fit classic");
    EXPECT_EQ(classic.first, "classic");
    EXPECT_NE(classic.second, refined.second);
    EXPECT_EQ(method(" --crossover 200"), classic);
    EXPECT_EQ(method(" --fit refined"), refined);

    CliRun bad = Cli("calculate " + doc + " --fit newest");
    EXPECT_EQ(bad.code, 1);
    EXPECT_NE(bad.err.find("--fit"), std::string::npos) << bad.err;
}

// The house curve and the limits: out-of-range values are usage errors naming the range, a bad
// file is refused naming it and its line, and the document keeps what was given for the next
// calculation until it is overridden.
TEST_F(CalculateCli, HouseCurveAndLimitsAreCheckedReportedAndKept) {
    const std::string doc = Document(true);
    const std::string original = Slurp(doc);
    const std::pair<const char*, const char*> refused[] = {
        {"--bass-shelf 20", "--bass-shelf must be from -6 to 12 dB: 20"},
        {"--bass-shelf 6@500", "--bass-shelf corner must be from 20 to 200 Hz: 500"},
        {"--bass-shelf 6@", "--bass-shelf must be DB or DB@HZ: 6@"},
        {"--tilt -4", "--tilt must be from -3 to 3 dB per octave: -4"},
        {"--max-boost 7", "--max-boost must be from 0 to 6 dB: 7"},
        {"--eq-upper 300", "--eq-upper must be from 40 to 250 Hz: 300"},
        {"--cuts-only --max-boost 3", "excludes"}};
    for (const auto& [options, range] : refused) {
        CliRun r = Cli("calculate " + doc + " " + options);
        EXPECT_EQ(r.code, 1) << options;
        EXPECT_NE(r.err.find(range), std::string::npos) << options << ": " << r.err;
    }
    std::ofstream(dir / "bad") << "20 3\n40 x\n";
    CliRun r = Cli("calculate " + doc + " --house-curve " + (dir / "bad").string());
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("House curve file \"bad\": line 2: ", 0), 0u) << r.err;
    EXPECT_EQ(Slurp(doc), original);

    std::ofstream(dir / "house.txt") << "* mine\r\n20 2\r\n200 0\r\n";
    r = Cli("calculate " + doc + " --bass-shelf 6@50 --tilt -0.5 --house-curve " +
            (dir / "house.txt").string() + " --cuts-only --eq-upper 150");
    ASSERT_EQ(r.code, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["house"], nlohmann::json::parse(R"({"shelf_db": 6.0, "shelf_hz": 50.0,
        "tilt_db_per_octave": -0.5, "file": "house.txt"})"));
    EXPECT_EQ(j["limits"], nlohmann::json::parse(R"({"max_boost_db": 0.0, "upper_hz": 150.0})"));
    DocData written;
    ReadDocFile(doc, written);
    ASSERT_TRUE(written.house.file);
    EXPECT_EQ(written.house.file->points.size(), 2u);
    const EqResult shaped = written.eq;
    const auto shown = nlohmann::json::parse(Cli("doc show " + doc).out);
    EXPECT_EQ(shown["house"], j["house"]);
    EXPECT_EQ(shown["limits"], j["limits"]);

    // Kept without options; each option overrides its own part; none drops the file.
    r = Cli("calculate " + doc);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["house"], j["house"]);
    ReadDocFile(doc, written);
    EXPECT_EQ(written.eq, shaped);
    r = Cli("calculate " + doc + " --bass-shelf 3 --house-curve none --max-boost 6");
    ASSERT_EQ(r.code, 0) << r.err;
    j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["house"]["shelf_db"], 3.0);
    EXPECT_EQ(j["house"]["shelf_hz"], 50.0);
    EXPECT_TRUE(j["house"]["file"].is_null());
    EXPECT_EQ(j["limits"]["max_boost_db"], 6.0);
    EXPECT_EQ(j["limits"]["upper_hz"], 150.0);

    // A document without any reports the defaults, the upper limit being the fit's own.
    r = Cli("calculate " + Document(true));
    ASSERT_EQ(r.code, 0) << r.err;
    j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["house"], nlohmann::json::parse(R"({"shelf_db": 0.0, "shelf_hz": 60.0,
        "tilt_db_per_octave": 0.0, "file": null})"));
    EXPECT_EQ(j["limits"]["upper_hz"], std::min(j["fit_upper"].get<double>(), 250.0));
    EXPECT_TRUE(nlohmann::json::parse(
                    Cli("doc show " + (dir / "room.CVD").string()).out)["limits"]["upper_hz"]
                    .is_null());
}

TEST_F(CalculateCli, FailuresPrintTheTextAndExit2) {
    const std::string doc = Document(false);
    CliRun r = Cli("calculate " + doc);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "Error: No measurements have been made.\nCalculate failed.\n");
    EXPECT_TRUE(r.out.empty());
    const std::string missing = (dir / "missing.CVD").string();
    CliRun m = Cli("calculate " + missing);
    EXPECT_EQ(m.code, 2);
    EXPECT_EQ(m.err.rfind("'" + missing + "': ", 0), 0u) << m.err;
    // A document that cannot be saved fails the command and prints nothing on stdout.
    CliRun unsaved = Cli("calculate " + Document(true) + " --out " + (dir / "no/x.CVD").string());
    EXPECT_EQ(unsaved.code, 2);
    EXPECT_NE(unsaved.err.find("could not be written"), std::string::npos) << unsaved.err;
    EXPECT_TRUE(unsaved.out.empty());
    EXPECT_EQ(Cli("calculate " + doc + " --detect-crossover --crossover 200").code, 1);
}

}  // namespace
