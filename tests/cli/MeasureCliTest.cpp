// tessaline-cli measure and run against the simulated subwoofer, room and microphone, run in
// process.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include "cli/InProcessCli.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cmath>
#include <cstdio>
#include <cstdlib>
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

class MeasureCli : public testsupport::InProcessCliTest {
protected:
    MeasureCli() : InProcessCliTest("cli_measure_") {}
    CliRun Cli(const std::string& args) {
        return InProcessCliTest::Cli(args + " --cal-dir " + (dir / "cal").string());
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
    EXPECT_NE(r.out.find("Your subwoofer has successfully been EQ'd\n\nNow"), std::string::npos);
    EXPECT_EQ(r.out.find('\r'), std::string::npos);

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

// --sim-room goes before or after the command name like the other --sim-* options, and brings
// the simulation with it.
TEST_F(MeasureCli, TheSimulatedRoomIsAGlobalOption) {
    const auto bad = dir / "bad.json", good = dir / "good.json";
    std::ofstream(bad) << R"({"levelDb": 40})";
    std::ofstream(good) << R"({"levelDb": -30})";
    const std::string measure = "measure --yes --positions 5 --out " + (dir / "x.ktsl").string();
    for (const std::string& args :
         {"--sim-room " + bad.string() + " " + measure, measure + " --sim-room " + bad.string()}) {
        CliRun r = Cli(args);
        EXPECT_EQ(r.code, 2) << args << ": " << r.err;
        EXPECT_NE(r.err.find("levelDb"), std::string::npos) << args << ": " << r.err;
    }
    CliRun r =
        Cli("--sim-room " + good.string() + " measure --no --out " + (dir / "x.ktsl").string());
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("User abort."), std::string::npos) << r.err;
}

TEST_F(MeasureCli, WithoutASubwooferTheMeasurementFails) {
    CliRun r = Cli("--simulate --sim-fault busy measure --yes --positions 5 --out " +
                   (dir / "x.ktsl").string());
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("Failed to find a valid subwoofer."), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "x.ktsl"));
}

#ifndef _WIN32  // the temporary folder and the user id are POSIX's
// A save that fails fails the command, claims nothing, keeps the data under another name and
// stops the chain before the upload. The simulated microphone's calibration folder is the user's
// own, whoever made the shared one.
TEST_F(MeasureCli, AFailedSaveFailsTheCommandAndKeepsTheMeasurements) {
    const fs::path tmp = dir / "tmp";
    fs::create_directories(tmp);
    std::ofstream(tmp / "tessaline-sim-microphone") << "another user's";
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string savedTmp = oldTmp ? oldTmp : "";
    ::setenv("TMPDIR", tmp.c_str(), 1);
    const std::string lost = (dir / "missing" / "x.ktsl").string();
    CliRun measured = InProcessCliTest::Cli("--simulate measure --yes --positions 5 --out " + lost);
    const std::string state = (dir / "sub.json").string();
    CliRun run = Cli("--simulate --sim-state " + state + " run --yes --out " +
                     (dir / "gone" / "y.ktsl").string());
    if (oldTmp)
        ::setenv("TMPDIR", savedTmp.c_str(), 1);
    else
        ::unsetenv("TMPDIR");

    EXPECT_EQ(measured.code, 2) << measured.err;
    EXPECT_TRUE(fs::is_directory(tmp / ("tessaline-sim-microphone-" + std::to_string(::getuid()))));
    EXPECT_NE(measured.err.find("The file \"" + lost + "\" could not be written"),
              std::string::npos)
        << measured.err;
    EXPECT_TRUE(measured.out.empty()) << measured.out;
    std::vector<fs::path> kept;
    for (const auto& entry : fs::directory_iterator(tmp))
        if (entry.path().filename().string().rfind("x.recovered-", 0) == 0)
            kept.push_back(entry.path());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_NE(measured.err.find("The results were saved to \"" + kept[0].string() +
                                "\" instead of \"" + lost + "\"."),
              std::string::npos);
    DocData data;
    ReadDocFile(kept[0], data);
    EXPECT_EQ(data.measurements.size(), 5u);

    EXPECT_EQ(run.code, 2) << run.err;
    EXPECT_EQ(run.out.find("Document written"), std::string::npos);
    EXPECT_EQ(run.err.find("== Calculate =="), std::string::npos);
    EXPECT_TRUE(nlohmann::json::parse(Slurp(state)).at("flash").empty());
}
#endif

// Each stop says what happened and what the document holds; --no declines.
TEST_F(MeasureCli, AStoppedChainSaysWhatHappenedAndWhatTheDocumentHolds) {
    const std::string declined = (dir / "declined.ktsl").string();
    CliRun no = Cli("--simulate measure --no --out " + declined);
    EXPECT_EQ(no.code, 2) << no.err;
    EXPECT_NE(no.err.find("Measure failed.\nNothing was written to \"" + declined + "\".\n"),
              std::string::npos)
        << no.err;
    EXPECT_FALSE(fs::exists(declined));

    const std::string doc = (dir / "refused.ktsl").string();
    CliRun r = Cli("--simulate --sim-fault refuse=m run --yes --out " + doc);
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("Failed to upload results\nThe written data did not verify. What the "
                         "subwoofer now holds is unknown: run Upload again.\nUpload failed.\n\"" +
                         doc + "\" holds the results of the Measure and Calculate steps.\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out.find("Document written"), std::string::npos);
    DocData data;
    ReadDocFile(doc, data);
    EXPECT_EQ(data.results.size(), 3u);
}

}  // namespace
