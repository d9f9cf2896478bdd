// tessaline-cli run as a user would, for what only a whole program shows: exit codes, the real USB
// bus, Ctrl-C, commands running at once on one state file, and pictures painted with Qt.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliRunner.h"
#include "document/DocData.h"
#include "document/DocFile.h"
#include "measure/Curve.h"
#include "measure/TextCalibration.h"

namespace {

namespace fs = std::filesystem;
using testsupport::CliRun;
using testsupport::Slurp;

class CliProcess : public testsupport::CliTest {
protected:
    CliProcess() : CliTest("cli_process_") {}

    // Three curves of 50 points, as measured, averaged and calculated.
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

#ifdef TESSALINE_CLI_PNG
// Width and height from a PNG's IHDR chunk.
std::pair<uint32_t, uint32_t> PngSize(const std::string& bytes) {
    auto word = [&](size_t at) {
        return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
               uint32_t(uint8_t(bytes[at + 2])) << 8 | uint32_t(uint8_t(bytes[at + 3]));
    };
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0)
        return {0, 0};
    return {word(16), word(20)};
}
#endif

// Success, a usage error and a failure, on the real (empty) USB bus.
TEST_F(CliProcess, ExitCodesOnTheRealBus) {
    const CliRun real = Cli("--usb-id ffff:fffe devices");
    EXPECT_EQ(real.code, 0) << real.err;
    EXPECT_EQ(real.out, "{\"total\": 0, \"busy\": 0, \"unrecognised\": 0, \"recognised\": 0}\n");
    const CliRun usage = Cli("devices --usb-id garbage");
    EXPECT_EQ(usage.code, 1);
    EXPECT_EQ(usage.err, "--usb-id must be VVVV:PPPP in hexadecimal: garbage\n");
    const CliRun failed = Cli("doc show " + (dir / "missing.ktsl").string());
    EXPECT_EQ(failed.code, 2);
    EXPECT_TRUE(failed.out.empty());
    EXPECT_FALSE(failed.err.empty());
}

// Commands sharing a state file never run at once: a second one is refused while the first holds
// the state, and neither tears the file.
TEST_F(CliProcess, TheStateFileIsLockedForTheWholeCommand) {
    const std::string doc = Document(275);
    ASSERT_EQ(Cli("--sim-state " + State() + " upload " + doc).code, 0);
    const std::string before = Slurp(State());
    {
        const int fd = ::open((State() + ".lock").c_str(), O_RDWR | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX), 0);
        CliRun busy = Cli("--sim-state " + State() + " erase");
        ::close(fd);
        EXPECT_EQ(busy.code, 2);
        EXPECT_EQ(busy.err, "The simulation state '" + State() +
                                "' is in use by another command; run this one when it has "
                                "ended\n");
        EXPECT_TRUE(busy.out.empty());
    }
    EXPECT_EQ(Slurp(State()), before);
    // Four at once: each either ran or was refused, and the state is whole.
    const std::string one = std::string(TESSALINE_CLI) + " --sim-state " + State() + " erase";
    const std::string all =
        "(" + one + " & " + one + " & " + one + " & " + one + " & wait) " + ">/dev/null 2>&1";
    ASSERT_EQ(std::system(all.c_str()), 0);
    EXPECT_TRUE(nlohmann::json::accept(Slurp(State())));
    EXPECT_EQ(Cli("--sim-state " + State() + " erase").code, 0);
}

// Runs the binary with stderr on a pipe; at the first stderr line holding `at`, sends Ctrl-C.
CliRun InterruptedAt(const std::string& args, const std::string& at) {
    std::vector<std::string> words;
    std::istringstream split(args);
    for (std::string w; split >> w;)
        words.push_back(w);
    int pipe[2];
    if (::pipe(pipe) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipe[1], 2);
        ::close(pipe[0]);
        ::close(pipe[1]);
        std::freopen("/dev/null", "r", stdin);
        std::freopen("/dev/null", "w", stdout);
        std::vector<char*> argv{const_cast<char*>(TESSALINE_CLI)};
        for (auto& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        ::execv(TESSALINE_CLI, argv.data());
        std::_Exit(127);
    }
    ::close(pipe[1]);
    CliRun r;
    bool sent = false;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;) {
        r.err.append(buffer, static_cast<size_t>(n));
        if (!sent && r.err.find(at) != std::string::npos) {
            ::kill(child, SIGINT);
            sent = true;
        }
    }
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// Ctrl-C with --yes aborts at once: nothing after the abort runs, the document is as it was.
TEST_F(CliProcess, CtrlCAbortsTheRunAndNothingAfterItRuns) {
    const std::string doc = (dir / "kept.ktsl").string();
    const std::string state = (dir / "sub.json").string();
    ASSERT_EQ(Cli("doc new " + doc).code, 0);
    const std::string before = Slurp(doc);
    CliRun r = InterruptedAt("--simulate --sim-state " + state + " run --yes --out " + doc +
                                 " --cal-dir " + (dir / "cal").string(),
                             "Please move the microphone to position 2");
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("Aborted (Ctrl-C) during the Measure step.\nNothing was written to \"" +
                         doc + "\".\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("Please move the microphone to position 4"), std::string::npos);
    EXPECT_EQ(r.err.find("== Calculate =="), std::string::npos);
    EXPECT_EQ(Slurp(doc), before);
    EXPECT_TRUE(nlohmann::json::parse(Slurp(state)).at("flash").empty());
}

TEST_F(CliProcess, WritesTextSvgAndPngAndListsTheEqualiser) {
    const std::string doc = WriteDocument();
    const auto txt = dir / "pos3.txt", svg = dir / "g.svg";
    std::string pictures = " --svg " + svg.string();
#ifdef TESSALINE_CLI_PNG
    const auto png = dir / "g.png";
    pictures += " --png " + png.string();
#endif
    const CliRun r = Cli("export " + doc + " --curve position=3 --out " + txt.string() + pictures +
                         " --width 800 --height 450 --title Room");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.out.empty());
    const auto back = Security::ReadTextCalibration(txt);
    ASSERT_EQ(back.curve->Count(), 50);
    EXPECT_NEAR(back.curve->First()[49], -12.0 - 4.9, 0.0005);
    EXPECT_NE(Slurp(svg).find("width=\"800\" height=\"450\""), std::string::npos);
    EXPECT_NE(Slurp(svg).find(">Room<"), std::string::npos);
#ifdef TESSALINE_CLI_PNG
    std::ifstream in(png, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(PngSize(bytes), std::make_pair(800u, 450u));
    EXPECT_GT(bytes.size(), 2000u);
#endif

    const CliRun eq = Cli("eq " + doc + " --json");
    ASSERT_EQ(eq.code, 0) << eq.err;
    const auto j = nlohmann::json::parse(eq.out);
    EXPECT_EQ(j["rate_hz"], 3000.0);
    EXPECT_EQ(j["sections"].size(), 10u);
    EXPECT_EQ(j["sections"][0]["shape"], "flat");
}

}  // namespace
