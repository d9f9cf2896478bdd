#pragma once
// What the measuring commands (measure, run) share: their options, the terminal prompt, the
// Measure step's devices and, with --simulate, the simulated room and microphone around the
// simulated subwoofer.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "cli/Cli.h"
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
};

// --positions accepts args.minPositions to 10.
void AddMeasureOptions(CLI::App& command, MeasureArgs& args);

class MeasureSession {
public:
    // Builds the simulated scene when the global options ask for a simulation.
    MeasureSession(const MeasureArgs& args, const GlobalOptions& globals);
    ~MeasureSession();
    MeasureSession(const MeasureSession&) = delete;
    MeasureSession& operator=(const MeasureSession&) = delete;

    // The terminal, answering with --yes when given; in a simulation an OK to a position
    // prompt moves the simulated microphone.
    Threading::IPrompt& Prompt() { return *prompt_; }
    MeasureEnvironment Environment() const;
    // The console wizard dialogs over Prompt(), with these steps.
    WizardEnvironment Wizard(WizardStepTable steps);
    const std::filesystem::path& Out() const { return out_; }
    bool Simulated() const { return simulated_; }

private:
    MeasureArgs args_;
    std::filesystem::path out_;
    std::filesystem::path calDir_;
    std::optional<int32_t> micSerial_;
    const GlobalOptions& globals_;
    Threading::ConsolePrompt& console_;
    bool simulated_ = false;
    std::unique_ptr<Threading::IPrompt> simPrompt_;
    Threading::IPrompt* prompt_;
};

// Raises the failure of a measuring command after its chain stopped: a failed save as it was
// raised; otherwise what happened (the wizard's message, or the abort) and what the document
// file holds now.
[[noreturn]] void ChainStopped(const ConsoleMainView& view, const std::filesystem::path& out);

}  // namespace cli
