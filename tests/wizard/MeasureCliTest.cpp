// tessaline-cli measure and run against the simulated subwoofer, room and microphone, run as a
// user would.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <nlohmann/json.hpp>
#include "support/CliRunner.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "document/DocFile.h"
#include "measure/Curve.h"

namespace {

namespace fs = std::filesystem;
using testsupport::CliRun;
using testsupport::Slurp;

size_t Occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// RMS level difference in dB of a against b over 20..160 Hz (log-spaced), after removing the
// mean difference: how far the shape of a is from the shape of b.
double ShapeDeviationDb(const CCurve& a, const CCurve& b) {
    CCurve x = a, y = b;
    ToDbPhase(x);
    ToDbPhase(y);
    std::vector<double> d;
    for (int k = 0; k <= 100; ++k) {
        const double f = 20.0 * std::pow(8.0, k / 100.0);
        d.push_back(ValueAt(x, f).first - ValueAt(y, f).first);
    }
    double mean = 0;
    for (double v : d)
        mean += v / static_cast<double>(d.size());
    double sum = 0;
    for (double v : d)
        sum += (v - mean) * (v - mean);
    return std::sqrt(sum / static_cast<double>(d.size()));
}

class MeasureCli : public testsupport::CliTest {
protected:
    MeasureCli() : CliTest("cli_measure_") {}
    CliRun Cli(const std::string& args) {
        return CliTest::Cli(args + " --cal-dir " + (dir / "cal").string());
    }
};

TEST_F(MeasureCli, RunMeasuresCalculatesAndUploadsAndTheNextMeasurementHearsTheEqualiser) {
    const std::string state = (dir / "sub.json").string();
    const std::string first = (dir / "first.ktsl").string();
    CliRun r = Cli("--simulate --sim-state " + state + " run --yes --out " + first);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Occurrences(r.err, "Please move the microphone to position"), 5u);
    EXPECT_EQ(Occurrences(r.err, "Please move the microphone to position 5, and then click OK."),
              1u);
    EXPECT_NE(r.err.find("Your subwoofer has successfully been EQ'd"), std::string::npos);
    EXPECT_NE(r.out.find("Document written to " + first), std::string::npos);
    EXPECT_NE(r.out.find("Your subwoofer has successfully been EQ'd"), std::string::npos);

    DocData measured;
    ReadDocFile(first, measured);
    ASSERT_EQ(measured.measurements.size(), 5u);
    ASSERT_EQ(measured.results.size(), 3u);  // average, target, calculated
    EXPECT_EQ(measured.modelId, 275);
    EXPECT_EQ(measured.eq.valid, 1);
    EXPECT_GT(measured.calImageLength, 0u);

    // The simulated subwoofer kept the written block and runs its application again.
    const auto saved = nlohmann::json::parse(Slurp(state));
    EXPECT_EQ(saved.at("mode"), "application");
    EXPECT_FALSE(saved.at("flash").empty());

    const std::string second = (dir / "second.ktsl").string();
    r = Cli("--simulate --sim-state " + state + " measure --yes --positions 5 --out " + second);
    ASSERT_EQ(r.code, 0) << r.err;
    DocData remeasured;
    ReadDocFile(second, remeasured);
    ASSERT_EQ(remeasured.measurements.size(), 5u);
    ASSERT_EQ(remeasured.results.size(), 1u);

    const double before = ShapeDeviationDb(*measured.results[0], *measured.results[1]);
    const double after = ShapeDeviationDb(*remeasured.results[0], *measured.results[1]);
    std::printf("against the target, 20-160 Hz: before %.2f dB rms, after %.2f dB rms\n", before,
                after);
    EXPECT_LT(after, before * 0.75);
}

TEST_F(MeasureCli, AToneThatFailsOnceIsRetriedWithoutANewPrompt) {
    const std::string doc = (dir / "retried.ktsl").string();
    CliRun r = Cli("--simulate --sim-fault silent=t3:1 measure --yes --positions 5 --out " + doc);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Occurrences(r.err, "Please move the microphone to position"), 5u);
    EXPECT_EQ(Occurrences(r.err, "Failed to start test tone playback"), 1u);
    EXPECT_EQ(Occurrences(r.err, "Press OK to retry this position, CANCEL to abort."), 1u);
    DocData measured;
    ReadDocFile(doc, measured);
    EXPECT_EQ(measured.measurements.size(), 5u);
    EXPECT_EQ(measured.results.size(), 1u);
}

TEST_F(MeasureCli, PositionsOutsideTheRangeAreRefused) {
    CliRun r = Cli("--simulate measure --yes --positions 4 --out " + (dir / "x.ktsl").string());
    EXPECT_NE(r.code, 0);
    EXPECT_FALSE(fs::exists(dir / "x.ktsl"));
}

TEST_F(MeasureCli, WithoutASubwooferTheMeasurementFails) {
    CliRun r = Cli("--simulate --sim-fault busy measure --yes --positions 5 --out " +
                   (dir / "x.ktsl").string());
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("Failed to find a valid subwoofer."), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "x.ktsl"));
}

}  // namespace
