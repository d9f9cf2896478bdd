// tessaline-cli doc, block and cal on files made here, run in process.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "cli/InProcessCli.h"

namespace {

using testsupport::CliRun;

class DocumentCli : public testsupport::InProcessCliTest {
protected:
    DocumentCli() : InProcessCliTest("cli_doc_") {}

    std::string WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }
};

TEST_F(DocumentCli, NewDocumentShowsTheResetRecordAndConvertsToItself) {
    const std::string doc = (dir / "new.ktsl").string();
    ASSERT_EQ(Cli("doc new " + doc).code, 0);
    const CliRun shown = Cli("doc show " + doc);
    ASSERT_EQ(shown.code, 0) << shown.err;
    const nlohmann::json j = nlohmann::json::parse(shown.out);
    EXPECT_EQ(j["file_version"], 8);
    EXPECT_EQ(j["name"], "Subwoofer");
    EXPECT_EQ(j["colours"].size(), 3u);
    EXPECT_TRUE(j["measurements"].empty());
    EXPECT_TRUE(j["results"].empty());
    EXPECT_EQ(j["eq"]["bands"].size(), 10u);

    const std::string copy = (dir / "copy.ktsl").string();
    ASSERT_EQ(Cli("doc convert " + doc + " " + copy).code, 0);
    EXPECT_EQ(testsupport::Slurp(copy), testsupport::Slurp(doc));
}

TEST_F(DocumentCli, UnsupportedVersionsAndShortFilesFailWithTheirTextAndTheFileName) {
    const std::string v9 = WriteBytes("v9.ktsl", {9, 0, 0, 0});
    for (const std::string command : {"doc show ", "doc convert ", "block ", "upload "}) {
        const CliRun r = Cli(command + v9 + (command == "doc convert " ? " out.ktsl" : ""));
        EXPECT_EQ(r.code, 2) << command;
        EXPECT_EQ(r.err.rfind("'" + v9 + "': ", 0), 0u) << command << r.err;
        EXPECT_NE(r.err.find("Bad file format"), std::string::npos) << command;
        EXPECT_TRUE(r.out.empty());
    }
    const std::string cutPath = WriteBytes("cut.ktsl", {8, 0, 0, 0, 0x13});
    const CliRun cut = Cli("doc show " + cutPath);
    EXPECT_EQ(cut.code, 2);
    EXPECT_EQ(cut.err.rfind("'" + cutPath + "': ", 0), 0u) << cut.err;
    EXPECT_EQ(Cli("doc show " + (dir / "missing.ktsl").string()).code, 2);
}

TEST_F(DocumentCli, NewRefusesToReplaceAFileUnlessForced) {
    const std::string doc = WriteBytes("kept.ktsl", {1, 2, 3});
    const CliRun refused = Cli("doc new " + doc);
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.err, "'" + doc + "' exists; add --force to replace it with a new document\n");
    EXPECT_EQ(testsupport::Slurp(doc), std::string("\x01\x02\x03"));
    ASSERT_EQ(Cli("doc new --force " + doc).code, 0);
    EXPECT_EQ(Cli("doc show " + doc).code, 0);
}

TEST_F(DocumentCli, EraseBlockIsAllOnesOfTheGivenSize) {
    const std::string doc = (dir / "new.ktsl").string();
    ASSERT_EQ(Cli("doc new " + doc).code, 0);
    for (int size : {224, 512}) {
        const CliRun r = Cli("block " + doc + " --erase --size " + std::to_string(size));
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, std::string(2 * static_cast<size_t>(size), 'f') + "\n");
    }
    // A reset document has no model, so nothing says how large its block is.
    EXPECT_EQ(Cli("block " + doc).code, 2);
}

TEST_F(DocumentCli, CalibrationFileThatIsNotOneIsRefused) {
    std::vector<uint8_t> junk(40, 7);
    junk[0] = 3;  // a version the program reads, then garbage
    junk[1] = junk[2] = junk[3] = 0;
    const CliRun r = Cli("cal show " + WriteBytes("1234Corvana.cal", junk));
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("Invalid security file"), std::string::npos) << r.err;
    // The serial comes from the name, and the text says so.
    for (const char* name : {"mic.cal", "Corvana.cal", "12abCorvana.cal"}) {
        const std::string path = WriteBytes(name, junk);
        const CliRun unnamed = Cli("cal show " + path);
        EXPECT_EQ(unnamed.code, 2);
        EXPECT_EQ(unnamed.err, "'" + path +
                                   "': the microphone serial is read from the file name, which "
                                   "must be <serial>Corvana.cal (for example 1234Corvana.cal)\n");
    }
}

}  // namespace
