// tessaline-cli history against the simulated subwoofer: what was written, what was found in it,
// and a record written back.

#include <gtest/gtest.h>

#include "cli/InProcessCli.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "document/DocFile.h"
#include "sim/SimFirmware.h"
#include "sim/SimState.h"

namespace {

namespace fs = std::filesystem;
using testsupport::CliRun;

class CliHistory : public testsupport::InProcessCliTest {
protected:
    CliHistory() : InProcessCliTest("cli_history_") {}

    // A second document, its equaliser other than Document()'s.
    std::string OtherDocument() {
        DocData data;
        data.modelId = 275;
        data.eq.valid = 1;
        data.eq.bands.clear();
        for (int i = 0; i < 10; ++i)
            data.eq.bands.push_back({1, 0.125, -0.25 + 0.01 * i, 0.5, 0.4, -0.9, 1});
        const fs::path p = dir / "other.CVD";
        WriteDocFile(p, data);
        return p.string();
    }
    CliRun In(const std::string& history, const std::string& args) {
        return Cli("--sim-state " + State() + " --history-dir " + (dir / history).string() + " " +
                   args);
    }
    std::string Flashed() {
        auto loaded = Sim::LoadState(State());
        if (!loaded)
            return {};
        Sim::SimFirmware firmware(Sim::SimOptions{});
        Sim::ApplyState(*loaded, firmware);
        std::string hex;
        char digits[3];
        for (uint8_t b : firmware.EqualiserImage()) {
            std::snprintf(digits, sizeof digits, "%02x", b);
            hex += digits;
        }
        return hex + "\n";
    }
};

TEST_F(CliHistory, UploadsAreRecordedAndTheFirstOneWrittenBack) {
    const std::string a = Document(275), b = OtherDocument();
    ASSERT_EQ(In("h1", "upload " + a).code, 0);
    // Another history does not know what the subwoofer holds: found in it first.
    ASSERT_EQ(In("h2", "upload " + b).code, 0);
    const auto h2 = nlohmann::json::parse(In("h2", "history list").out);
    ASSERT_EQ(h2.size(), 2u);
    EXPECT_EQ(h2[0]["kind"], "found");
    EXPECT_EQ(h2[1]["kind"], "upload");
    CliRun found = In("h2", "history restore 1");
    EXPECT_EQ(found.code, 2);
    EXPECT_NE(found.err.find("holds only the checksum"), std::string::npos) << found.err;

    ASSERT_EQ(In("h1", "upload " + b).code, 0);
    CliRun restore = In("h1", "history restore 1");
    ASSERT_EQ(restore.code, 0) << restore.err;
    EXPECT_EQ(restore.out, "The subwoofer's equaliser has been restored from record 1\n");
    EXPECT_EQ(Flashed(), Cli("block " + a).out);

    CliRun list = In("h1", "history list --model 275");
    ASSERT_EQ(list.code, 0) << list.err;
    const auto records = nlohmann::json::parse(list.out);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0]["n"], 1);
    EXPECT_EQ(records[0]["kind"], "upload");
    EXPECT_EQ(records[1]["kind"], "upload");
    EXPECT_EQ(records[2]["kind"], "restore");
    EXPECT_EQ(records[2]["checksum"], records[0]["checksum"]);
    EXPECT_NE(records[0]["checksum"], records[1]["checksum"]);
    EXPECT_EQ(records[0]["document"], fs::absolute(a).string());
    EXPECT_EQ(records[2]["model"], 275);
    const auto shown = nlohmann::json::parse(In("h1", "history show 3").out);
    EXPECT_EQ(shown["restored_from"], 1);
    EXPECT_EQ(shown["document"]["name"], "room.CVD");
    EXPECT_FALSE(shown["eq"].is_null());
    EXPECT_FALSE(shown["fit"].is_null());

    // A damaged file is reported and kept; the command goes on with a new history.
    const fs::path file = dir / "h1" / "model-275.json";
    fs::resize_file(file, fs::file_size(file) / 3);
    CliRun damaged = In("h1", "history");
    EXPECT_EQ(damaged.code, 0) << damaged.err;
    EXPECT_EQ(damaged.out, "[]\n");
    EXPECT_NE(damaged.err.find("was damaged"), std::string::npos) << damaged.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "h1"), fs::directory_iterator()), 2);
    EXPECT_EQ(In("h1", "history show 1").code, 2);
}

}  // namespace
