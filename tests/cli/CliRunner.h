#pragma once
// Runs tessaline-cli in a fresh folder per test as a user would, the binary itself (CliTest: the
// including target defines TESSALINE_CLI as its path); InProcessCli.h runs it in this process.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "document/DocData.h"
#include "document/DocFile.h"

namespace testsupport {

struct CliRun {
    int code = -1;
    std::string out, err;
};

inline std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// `dir` is created before each test and removed after it.
class CliFolderTest : public ::testing::Test {
protected:
    explicit CliFolderTest(const std::string& prefix)
        : dir(std::filesystem::temp_directory_path() /
              (prefix + ::testing::UnitTest::GetInstance()->current_test_info()->name())) {}
    void SetUp() override {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // A document with a fitted equaliser for model, in dir.
    std::string Document(uint16_t model) {
        DocData data;
        data.modelId = model;
        data.eq.valid = 1;
        data.eq.bands.clear();
        for (int i = 0; i < 10; ++i)
            data.eq.bands.push_back({1, 0.25, -0.5 + 0.02 * i, 0.5, 0.45, -0.95, 1});
        std::filesystem::path p = dir / "room.CVD";
        WriteDocFile(p, data);
        return p.string();
    }

    std::string State() const { return (dir / "sub.json").string(); }

    std::filesystem::path dir;
};

#ifdef TESSALINE_CLI
}  // namespace testsupport

#include <sys/wait.h>

namespace testsupport {

// Cli() runs the binary with stdin closed, so any prompt not answered by options fails instead
// of waiting.
class CliTest : public CliFolderTest {
protected:
    using CliFolderTest::CliFolderTest;

    CliRun Cli(const std::string& args) {
        const std::filesystem::path out = dir / "out.txt", err = dir / "err.txt";
        const std::string cmd = std::string(TESSALINE_CLI) + " " + args + " >" + out.string() +
                                " 2>" + err.string() + " </dev/null";
        const int status = std::system(cmd.c_str());
        CliRun r;
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = Slurp(out);
        r.err = Slurp(err);
        return r;
    }
};
#endif

}  // namespace testsupport
