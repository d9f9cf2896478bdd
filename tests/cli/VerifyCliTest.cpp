// tessaline-cli verify, doc positions and doc drop against the simulated subwoofer and room,
// run in process.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/InProcessCli.h"
#include "document/DocFile.h"
#include "export/PlotModel.h"
#include "measure/Curve.h"

namespace {

using testsupport::CliRun;

class VerifyCli : public testsupport::InProcessCliTest {
protected:
    VerifyCli() : InProcessCliTest("cli_verify_") {}
    CliRun Sim(const std::string& args) {
        return Cli("--simulate --sim-state " + (dir / "sub.json").string() + " " + args +
                   " --yes --cal-dir " + (dir / "cal").string());
    }
    std::string Path(const char* name) const { return (dir / name).string(); }
};

double LevelDb(const CCurve& curve, double f) {
    CCurve c = curve;
    ToDbPhase(c);
    return ValueAt(c, f).first;
}

TEST_F(VerifyCli, VerifyAgreesWithThePredictionAndLeavesTheDocumentAlone) {
    const std::string doc = Path("room.ktsl");
    ASSERT_EQ(Sim("run --positions 5 --out " + doc).code, 0);
    DocData before;
    ReadDocFile(doc, before);
    ASSERT_EQ(before.results.size(), 3u);
    ASSERT_EQ(before.positionQuality.size(), 5u);
    ASSERT_TRUE(before.calibration);
    EXPECT_EQ(before.calibration->kind, CalibrationKind::BrandFile);

    const CliRun r = Sim("verify --positions 5 --band 25:250 --out " + doc);
    ASSERT_EQ(r.code, 0) << r.err;
    const auto report = nlohmann::json::parse(r.out);
    EXPECT_EQ(report["positions"], 5);
    EXPECT_LT(report["calculated"]["rms_db"].get<double>(), 1.0) << r.out;
    EXPECT_GT(report["target"]["max_db"].get<double>(), 0.0);

    DocData after;
    ReadDocFile(doc, after);
    ASSERT_TRUE(after.verified);
    EXPECT_EQ(after.verifiedPositions, 5);
    EXPECT_EQ(after.eq.bands, before.eq.bands);
    ASSERT_EQ(after.results.size(), 3u);
    ASSERT_EQ(after.measurements.size(), 5u);
    for (double f : {30.0, 60.0, 120.0}) {
        EXPECT_EQ(LevelDb(*after.results[2], f), LevelDb(*before.results[2], f));
        EXPECT_EQ(LevelDb(*after.measurements[4], f), LevelDb(*before.measurements[4], f));
    }

    // One position is allowed for a quick check; none is refused as a usage error.
    EXPECT_EQ(Sim("verify --positions 1 --out " + doc).code, 0);
    EXPECT_EQ(Sim("verify --positions 0 --out " + doc).code, 1);
}

TEST_F(VerifyCli, PositionsTableSpreadAndDroppingAPosition) {
    const std::string doc = Path("room.ktsl"), dropped = Path("dropped.ktsl");
    ASSERT_EQ(Sim("run --positions 5 --out " + doc).code, 0);
    DocData data;
    ReadDocFile(doc, data);

    const CliRun table = Cli("doc positions " + doc);
    ASSERT_EQ(table.code, 0) << table.err;
    const auto json = nlohmann::json::parse(table.out);
    ASSERT_EQ(json["positions"].size(), 5u);
    for (const auto& row : json["positions"]) {
        EXPECT_GE(row["snr_db"].get<double>(), 15.0);
        EXPECT_LE(row["period_diff_db"].get<double>(), 3.0);
        EXPECT_EQ(row["outlier"].get<bool>(), row["deviation_rms_db"].get<double>() > 6.0);
        // What the equaliser does there; a position it makes worse says where.
        const double before = row["before_rms_db"], after = row["after_rms_db"],
                     heldOut = row["held_out_rms_db"];
        EXPECT_GE(row["after_max_db"].get<double>(), after);
        EXPECT_EQ(row["worse_at_hz"].is_number(), after > before || heldOut > before + 1.0)
            << row.dump();
        EXPECT_EQ(row["made_worse"].get<bool>(), row["worse_at_hz"].is_number());
    }

    // The spread holds every position and touches the lowest and highest of them.
    const PositionSpread spread = SpreadOfPositions(data);
    ASSERT_FALSE(spread.x.empty());
    for (size_t i = 0; i < spread.x.size(); i += 17) {
        double lo = 1e9, hi = -1e9;
        for (const auto& m : data.measurements) {
            lo = std::min(lo, LevelDb(*m, spread.x[i]));
            hi = std::max(hi, LevelDb(*m, spread.x[i]));
        }
        EXPECT_NEAR(spread.minDb[i], lo, 1e-9);
        EXPECT_NEAR(spread.maxDb[i], hi, 1e-9);
    }

    // Dropping the position furthest from the average changes the average and, once
    // recalculated, the equaliser.
    size_t worst = 0;
    for (size_t p = 0; p < 5; ++p)
        if (json["positions"][p]["deviation_rms_db"] > json["positions"][worst]["deviation_rms_db"])
            worst = p;
    const CliRun drop =
        Cli("doc drop " + doc + " " + std::to_string(worst + 1) + " --out " + dropped);
    ASSERT_EQ(drop.code, 0) << drop.err;
    DocData less;
    ReadDocFile(dropped, less);
    ASSERT_EQ(less.measurements.size(), 4u);
    ASSERT_EQ(less.positionQuality.size(), 4u);
    ASSERT_EQ(less.results.size(), 1u);
    EXPECT_EQ(less.eq.valid, 0);
    // Until it is calculated again, the equaliser's figures are unknown.
    const CliRun uncalculated = Cli("doc positions " + dropped);
    ASSERT_EQ(uncalculated.code, 0) << uncalculated.err;
    const nlohmann::json uncalculatedRows = nlohmann::json::parse(uncalculated.out);
    for (const auto& row : uncalculatedRows["positions"])
        for (const char* field :
             {"before_rms_db", "after_rms_db", "held_out_rms_db", "worse_at_hz"})
            EXPECT_TRUE(row[field].is_null()) << field;
    double moved = 0;
    for (double f : {30.0, 45.0, 70.0, 110.0})
        moved =
            std::max(moved, std::abs(LevelDb(*less.results[0], f) - LevelDb(*data.results[0], f)));
    EXPECT_GT(moved, 0.05);

    ASSERT_EQ(Cli("calculate " + dropped + " --detect-crossover").code, 0);
    DocData refit;
    ReadDocFile(dropped, refit);
    ASSERT_EQ(refit.results.size(), 3u);
    EXPECT_NE(refit.eq.bands, data.eq.bands);

    EXPECT_EQ(Cli("doc drop " + doc + " 6").code, 2);
}

}  // namespace
