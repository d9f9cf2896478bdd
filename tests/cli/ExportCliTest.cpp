// tessaline-cli export and eq on a document made here, and the measuring commands with any
// recording device and a plain-text calibration file, run in process.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>

#include "cli/InProcessCli.h"
#include "document/DocData.h"
#include "document/DocFile.h"
#include "measure/Curve.h"
#include "measure/TextCalibration.h"

namespace {

using testsupport::CliRun;
using testsupport::Slurp;

class ExportCli : public testsupport::InProcessCliTest {
protected:
    ExportCli() : InProcessCliTest("cli_export_") {}

    std::string WriteDocument() {
        DocData data;
        data.name = L"Den";
        for (int k = 0; k < 3; ++k) {
            auto c = std::make_shared<CCurve>(50, AxisKind::Frequency, DataFormat::DbPhase);
            for (int i = 0; i < 50; ++i) {
                c->X()[i] = 20.0 + 5.0 * i;
                c->First()[i] = -10.0 - k - 0.1 * i;
                c->Second()[i] = 0.01 * i;
            }
            data.results.push_back(c);
            data.measurements.push_back(Clone(*c));
        }
        const std::string path = (dir / "den.ktsl").string();
        WriteDocFile(path, data);
        return path;
    }
};

TEST_F(ExportCli, RefusesBadChoicesWithTheirMessage) {
    const std::string doc = WriteDocument();
    struct Case {
        std::string args;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {"export " + doc, 1, "at least one of --out, --png and --svg"},
        {"export " + doc + " --curve best --out x.txt", 1, "--curve: expected"},
        {"export " + doc + " --svg x.svg --width 50", 1, "outside 200 to 8000"},
        {"export " + doc + " --curve position=4 --out x.txt", 2, "has no position 4"},
    };
    for (const Case& c : cases) {
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, c.code) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
    }
}

TEST_F(ExportCli, MeasuresWithAnyDeviceAndATextCalibration) {
    // Two lines are enough: the calibration is resampled onto each response's axis.
    const auto cal = dir / "umik.txt";
    std::ofstream(cal) << "\"Sens Factor =-1.2dB, SERNO: 1\"\r\n10 0.5\r\n20000 -0.5\r\n";
    const std::string doc = (dir / "m.ktsl").string();
    const std::string base = "--simulate measure --yes --positions 5 --out " + doc;
    CliRun r = Cli(base + " --mic-device Built-in --mic-cal " + cal.string());
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("Calibration: text file umik.txt"), std::string::npos) << r.err;
    DocData data;
    ReadDocFile(doc, data);
    EXPECT_EQ(data.measurements.size(), 5u);
    EXPECT_EQ(data.calImageLength, 0u);
    ASSERT_TRUE(data.calibration);  // the document says which calibration was used
    EXPECT_EQ(data.calibration->kind, CalibrationKind::TextFile);
    EXPECT_EQ(data.calibration->fileName, L"umik.txt");
    ASSERT_TRUE(data.measurements[0]);
    EXPECT_LE(data.measurements[0]->X()[0], 20.0);
    EXPECT_GT(data.measurements[0]->Count(), 200);
    EXPECT_EQ(Cli("calculate " + doc).code, 0);

    const std::pair<const char*, const char*> refused[] = {
        {"10 0.5\n100 zero\n", "\"umik.txt\": line 2: expected"},
        {"100 0\n20000 0\n",
         "\"umik.txt\": it covers 100 to 20000 Hz; a measurement needs 20 "
         "to 500 Hz."}};
    for (const auto& [text, message] : refused) {
        std::ofstream(cal) << text;
        r = Cli(base + " --mic-cal " + cal.string());
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Please move the microphone"), std::string::npos) << r.err;
    }
}

}  // namespace
