// The USB commands of tessaline-cli against the simulated subwoofer, run in process.

#include <gtest/gtest.h>

#include "cli/InProcessCli.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "correction/EqResult.h"
#include "document/DocFile.h"
#include "sim/SimFirmware.h"
#include "sim/SimState.h"

namespace {

namespace fs = std::filesystem;
using testsupport::CliRun;
using testsupport::Slurp;

class CliUsb : public testsupport::InProcessCliTest {
protected:
    CliUsb() : InProcessCliTest("cli_usb_") {}
};

const char* const kUploaded =
    "Your subwoofer has successfully been EQ'd\n\nNow you will need to set your sub's level, "
    "crossover, and phase controls according to your subwoofer manual's instructions.\n";

TEST_F(CliUsb, UploadThenSkippedSecondUploadThenErase) {
    std::string doc = Document(275);
    CliRun first = Cli("--trace --sim-state " + State() + " upload " + doc);
    ASSERT_EQ(first.code, 0) << first.err;
    EXPECT_EQ(first.out, kUploaded);
    EXPECT_NE(first.err.find("usb> u70 +224 bytes\n"), std::string::npos);
    EXPECT_NE(first.err.find("usb< KT1\n"), std::string::npos);
    EXPECT_NE(first.err.find("usb ctl 0x0080\n"), std::string::npos);
    EXPECT_NE(first.err.find("usb> t0\n"), std::string::npos);

    CliRun second = Cli("--trace --sim-state " + State() + " upload " + doc);
    ASSERT_EQ(second.code, 0) << second.err;
    EXPECT_EQ(second.err.find("usb> u70"), std::string::npos);
    EXPECT_NE(second.err.find("usb> D70\n"), std::string::npos);

    CliRun erase = Cli("--sim-state " + State() + " erase");
    ASSERT_EQ(erase.code, 0) << erase.err;
    EXPECT_EQ(erase.out, "Your subwoofers EQ has successfully been erased\n");
}

TEST_F(CliUsb, CrLfSubwooferIsUploadedAndReallyErasedAfterARefusedLoad) {
    std::string doc = Document(275);
    CliRun up = Cli("--sim-fault crlf --sim-state " + State() + " upload " + doc);
    ASSERT_EQ(up.code, 0) << up.err;
    EXPECT_EQ(up.out, kUploaded);
    CliRun erase = Cli("--sim-fault crlf --sim-fault refuse=M:1 --sim-state " + State() + " erase");
    ASSERT_EQ(erase.code, 0) << erase.err;
    // The flash is erased, so the same upload is written again rather than skipped.
    CliRun again = Cli("--trace --sim-state " + State() + " upload " + doc);
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_NE(again.err.find("usb> u70 +224 bytes\n"), std::string::npos);
}

TEST_F(CliUsb, UploadToAnotherModelFails) {
    CliRun r = Cli("--simulate --sim-model 276 upload " + Document(275));
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err,
              "Error, can't upload results to a different subwoofer than what was used to make "
              "the measurements\nUpload failed.\n");
    EXPECT_TRUE(r.out.empty());
}

TEST_F(CliUsb, RefusedStoreFailsTheUpload) {
    CliRun r = Cli("--sim-fault refuse=m upload " + Document(275));
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err,
              "Failed to upload results\nThe written data did not verify. What the subwoofer now "
              "holds is unknown: run Upload again.\nUpload failed.\n");
}

TEST_F(CliUsb, NoSubwooferFailsTheEraseAndAnEmptyDocumentTheUpload) {
    CliRun r = Cli("--sim-fault busy erase");
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err,
              "Could not find a subwoofer.\nPlease check that you have connected the target "
              "subwoofer via USB.\nThe subwoofer is in use by another program.\nErase "
              "failed.\n");
    const fs::path empty = dir / "empty.CVD";
    WriteDocFile(empty, DocData{});
    CliRun up = Cli("--simulate upload " + empty.string());
    EXPECT_EQ(up.code, 2);
    EXPECT_EQ(up.err,
              "The document holds no equaliser to upload: measure and calculate first.\n"
              "Upload failed.\n");
}

TEST_F(CliUsb, DevicesCountsTheSimulatedSubwoofer) {
    CliRun r = Cli("--simulate devices");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "{\"total\": 1, \"busy\": 0, \"unrecognised\": 0, \"recognised\": 1}\n");
    CliRun busy = Cli("--sim-fault busy devices");
    EXPECT_EQ(busy.out, "{\"total\": 1, \"busy\": 1, \"unrecognised\": 0, \"recognised\": 0}\n");
    CliRun real = Cli("--usb-id ffff:fffe devices");
    EXPECT_EQ(real.code, 0);
    EXPECT_EQ(real.out, "{\"total\": 0, \"busy\": 0, \"unrecognised\": 0, \"recognised\": 0}\n");
}

TEST_F(CliUsb, BadOptionValuesAreUsageErrorsAndBadStateFilesFail) {
    const std::pair<const char*, const char*> usage[] = {
        {"--sim-fault nonsense devices", "Unknown or malformed simulated fault: nonsense"},
        {"--usb-id garbage devices", "--usb-id must be VVVV:PPPP in hexadecimal: garbage"},
        {"--simulate --sim-model -1 devices", "--sim-model must be a model identifier from 0"},
        {"devices --sim-model 70000 --simulate", "--sim-model must be a model identifier from 0"},
        {"analyse capture.wav --band 350:20", "invalid --band '350:20'"}};
    for (const auto& [args, text] : usage) {
        CliRun r = Cli(args);
        EXPECT_EQ(r.code, 1) << args;
        EXPECT_NE(r.err.find(text), std::string::npos) << args << ": " << r.err;
    }
    std::ofstream(State()) << "{";
    CliRun r = Cli("--sim-state " + State() + " devices");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("Invalid simulation state file"), std::string::npos);
    // A state that cannot be saved fails the command.
    CliRun unsaved = Cli("--sim-state " + (dir / "no" / "sub.json").string() + " erase");
    EXPECT_EQ(unsaved.code, 2) << unsaved.err;
}

TEST_F(CliUsb, GlobalOptionsAreAcceptedAfterEveryCommandName) {
    const std::string doc = Document(275);
    CliRun devices = Cli("devices --sim-fault busy");
    EXPECT_EQ(devices.code, 0) << devices.err;
    EXPECT_EQ(devices.out, "{\"total\": 1, \"busy\": 1, \"unrecognised\": 0, \"recognised\": 0}\n");
    CliRun up = Cli("upload " + doc + " --simulate --trace --sim-state " + State());
    ASSERT_EQ(up.code, 0) << up.err;
    EXPECT_NE(up.err.find("usb> u70 +224 bytes\n"), std::string::npos);
    CliRun erase = Cli("erase --sim-model 275 --sim-state " + State());
    EXPECT_EQ(erase.code, 0) << erase.err;
    EXPECT_EQ(Cli("devices --usb-id ffff:fffe").code, 0);
    // --version needs no command, like --help.
    CliRun version = Cli("--version");
    EXPECT_EQ(version.code, 0) << version.err;
    EXPECT_EQ(version.out.rfind("tessaline-cli version ", 0), 0u) << version.out;
    EXPECT_EQ(std::count(version.out.begin(), version.out.end(), '\n'), 1);
}

}  // namespace

namespace {

// What `block` prints is what an upload leaves in the flash, the gain folding of 256/257 included.
TEST_F(CliUsb, BlockPrintsExactlyWhatAnUploadWrites) {
    for (uint16_t model : {256, 257, 275, 276}) {
        SCOPED_TRACE(model);
        DocData data;
        data.modelId = model;
        data.eq.valid = 1;
        data.eq.gain = 4.5;
        data.eq.bands.clear();
        for (int i = 0; i < 10; ++i)
            data.eq.bands.push_back({1, 0.25, -0.5 + 0.02 * i, 0.5, 0.45, -0.95, 1});
        const fs::path doc = dir / ("m" + std::to_string(model) + ".CVD");
        WriteDocFile(doc, data);
        const std::string state = (dir / ("m" + std::to_string(model) + ".json")).string();
        CliRun upload = Cli("--sim-model " + std::to_string(model) + " --sim-state " + state +
                            " upload " + doc.string());
        ASSERT_EQ(upload.code, 0) << upload.err;
        CliRun block = Cli("block " + doc.string());
        ASSERT_EQ(block.code, 0) << block.err;

        auto loaded = Sim::LoadState(state);
        ASSERT_TRUE(loaded);
        Sim::SimOptions options;
        options.modelId = model;
        Sim::SimFirmware firmware(options);
        Sim::ApplyState(*loaded, firmware);
        std::string flashed;
        char hex[3];
        for (uint8_t b : firmware.EqualiserImage()) {
            std::snprintf(hex, sizeof hex, "%02x", b);
            flashed += hex;
        }
        EXPECT_EQ(block.out, flashed + "\n");
    }
}

}  // namespace
