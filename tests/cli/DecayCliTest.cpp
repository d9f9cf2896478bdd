// tessaline-cli decay against the simulated room with a single mode: the decay time measured at
// its band against the mode's poles, through the fitted equaliser and re-measured after the
// upload; and documents measured before the impulses were kept.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/InProcessCli.h"
#include "correction/EqResult.h"
#include "document/DocFile.h"

namespace {

using testsupport::CliRun;

class DecayCli : public testsupport::InProcessCliTest {
protected:
    DecayCli() : InProcessCliTest("cli_decay_") {}
    CliRun Sim(const std::string& args) {
        return Cli("--simulate --sim-room " + (dir / "room.json").string() + " --sim-state " +
                   (dir / "sub.json").string() + " " + args + " --yes --cal-dir " +
                   (dir / "cal").string());
    }
    std::string Path(const char* name) const { return (dir / name).string(); }
};

// The mode's exact inverse (its poles become zeros) at the equaliser's rate: the analogue
// section (s^2 + s bw a + w0^2) / (s^2 + s bw / a + w0^2) turned over and taken through the
// bilinear transform, prewarped at its centre.
EqResult ModeNotch(double f, double q, double a) {
    const double rate = 3000.0, w0 = 2 * std::numbers::pi * f, bw = w0 / q;
    const double k = w0 / std::tan(w0 / (2 * rate));
    auto poly = [&](double c1) {
        return std::array<double, 3>{k * k + c1 * k + w0 * w0, 2 * (w0 * w0 - k * k),
                                     k * k - c1 * k + w0 * w0};
    };
    const auto num = poly(bw / a), den = poly(bw * a);
    SectionArrays s = SectionArrays::Identity(1);
    s.b0[0] = num[0] / den[0];
    s.b1[0] = num[1] / den[0];
    s.b2[0] = num[2] / den[0];
    s.a1[0] = den[1] / den[0];
    s.a2[0] = den[2] / den[0];
    EqResult eq = EraseDefault();
    eq.valid = 1;
    eq.bands[0] = GetBand(s, 0);
    for (size_t i = 1; i < eq.bands.size(); ++i)
        eq.bands[i] = kIdentityBand;
    return eq;
}

const nlohmann::json& Band(const nlohmann::json& report, double centre) {
    for (const auto& band : report["bands"])
        if (band["centre_hz"].get<double>() == centre)
            return band;
    throw std::logic_error("no such band");
}

TEST_F(DecayCli, SingleModeMeasuredPredictedAndVerified) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "numeric decay figures; the chain's threads are covered by the other CLI tests";
#endif
    // One mode and nothing else varying between positions.
    constexpr double f = 50, q = 4, gainDb = 10;
    std::ofstream(dir / "room.json")
        << R"({"modes": [{"frequency": 50, "gainDb": 10, "q": 4}], "modeSpreadDb": 0,)"
           R"( "frequencySpread": 0, "delaySpreadMs": 0})";
    const std::string doc = Path("room.ktsl");
    ASSERT_EQ(Sim("run --positions 5 --out " + doc).code, 0);
    ASSERT_EQ(Sim("verify --positions 5 --out " + doc).code, 0);

    const CliRun r = Cli("decay " + doc + " --json");
    ASSERT_EQ(r.code, 0) << r.err;
    const auto report = nlohmann::json::parse(r.out);
    EXPECT_EQ(report["positions"], 5);
    ASSERT_EQ(report["bands"].size(), 11u);
    const auto& band = Band(report, 50);
    ASSERT_TRUE(band["measured_ms"].is_number()) << r.out;
    ASSERT_TRUE(band["predicted_ms"].is_number()) << r.out;
    ASSERT_TRUE(band["verified_ms"].is_number()) << r.out;
    // The mode's poles: bandwidth w0 / (q a), so T60 = 6.91 q a / (pi f).
    const double a = std::pow(10.0, gainDb / 20.0);
    const double poles = 6.91 * q * a / (std::numbers::pi * f) * 1000.0;
    const double measured = band["measured_ms"], predicted = band["predicted_ms"];
    EXPECT_NEAR(measured, poles, 0.2 * poles) << r.out;
    // The re-measurement through the uploaded equaliser agrees with its prediction.
    EXPECT_NEAR(band["verified_ms"].get<double>(), predicted, 0.2 * predicted) << r.out;

    // With the mode's notch in the equaliser the mode no longer rings.
    DocData notched;
    ReadDocFile(doc, notched);
    notched.eq = ModeNotch(f, q, a);
    WriteDocFile(Path("notched.ktsl"), notched);
    const CliRun n = Cli("decay " + Path("notched.ktsl") + " --json");
    ASSERT_EQ(n.code, 0) << n.err;
    const auto notchReport = nlohmann::json::parse(n.out);
    const auto& notch = Band(notchReport, 50);
    ASSERT_TRUE(notch["predicted_ms"].is_number()) << n.out;
    EXPECT_LE(notch["predicted_ms"].get<double>(), 0.5 * measured) << n.out;

    // One position, the text table and a picture of a view.
    const CliRun one =
        Cli("decay " + doc + " --position 2 --view waterfall --svg " + Path("waterfall.svg"));
    ASSERT_EQ(one.code, 0) << one.err;
    EXPECT_NE(one.out.find("position 2"), std::string::npos) << one.out;
    std::ifstream svg(Path("waterfall.svg"));
    const std::string picture((std::istreambuf_iterator<char>(svg)), {});
    EXPECT_NE(picture.find("400 ms"), std::string::npos);
    EXPECT_EQ(Cli("decay " + doc + " --position 6").code, 2);
    EXPECT_EQ(Cli("decay " + doc + " --view spectrum --svg x.svg").code, 1);

    // A document measured before the impulses were kept says so.
    DocData older;
    ReadDocFile(doc, older);
    older.impulses.clear();
    older.verifiedImpulses.clear();
    WriteDocFile(Path("older.ktsl"), older);
    const CliRun old = Cli("decay " + Path("older.ktsl"));
    EXPECT_EQ(old.code, 2);
    EXPECT_NE(old.err.find("predates"), std::string::npos) << old.err;
}

}  // namespace
