#pragma once
// What the measuring commands (measure, run) share: their options, the terminal prompt, the
// Measure step's devices and, with --simulate, the simulated room and microphone around the
// simulated subwoofer.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "cli/Command.h"
#include "cli/ConsoleMainView.h"
#include "cli/ConsolePrompt.h"
#include "wizard/MeasureStep.h"
#include "wizard/RunWizard.h"

namespace cli {

struct MeasureArgs {
    std::string out;
    std::optional<int32_t> positions;
    std::optional<int32_t> micSerial;
    std::string calDir;
    std::string micDevice;
    std::string micCal;
    bool yes = false;
    bool no = false;
    int32_t minPositions = kMinPositions;
    // --positions auto: measure until the average has settled within settleDb.
    bool untilSettled = false;
    double settleDb = kDefaultSettleDb;
};

// --positions accepts args.minPositions to 10; with the standard minimum (measure, run) also
// "auto", with --settle-db, and the average's settle line goes to stderr after each position.
void AddMeasureOptions(CLI::App& command, MeasureArgs& args);

class MeasureSession {
public:
    // The context must outlive the session.
    MeasureSession(const MeasureArgs& args, const Context& context);
    ~MeasureSession();
    MeasureSession(const MeasureSession&) = delete;
    MeasureSession& operator=(const MeasureSession&) = delete;

    // The context's terminal, answering with --yes when given; in a simulation an OK to a
    // position prompt moves the simulated microphone.
    Threading::IPrompt& Prompt() { return *prompt_; }
    MeasureEnvironment Environment();
    // The console wizard dialogs over Prompt(), with these steps.
    WizardEnvironment Wizard(WizardStepTable steps);
    const std::filesystem::path& Out() const { return out_; }
    bool Simulated() const { return simulated_; }

private:
    MeasureArgs args_;
    std::filesystem::path out_;
    std::optional<int32_t> micSerial_;
    const Context& context_;
    Threading::ConsolePrompt console_;
    bool simulated_ = false;
    std::unique_ptr<Threading::IPrompt> simPrompt_;
    Threading::IPrompt* prompt_;
};

// Raises the failure of a measuring command after its chain stopped: a failed save as it was
// raised; otherwise what happened (the wizard's message, or the abort) and what the document
// file holds now.
[[noreturn]] void ChainStopped(const ConsoleMainView& view, const std::filesystem::path& out);

}  // namespace cli
