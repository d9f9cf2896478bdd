#pragma once
// One command of tessaline-cli: its name, its options on the command line's parser and its run
// with the streams and the environment (cli/Cli.h); Commands() lists them all.

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace cli {

class Command {
public:
    virtual ~Command() = default;
    virtual std::string Name() const = 0;
    virtual std::string Description() const = 0;
    // Adds the command's options (and its own subcommands) to its parser, which lives until
    // Run has returned.
    virtual void AddOptions(CLI::App& command) = 0;
    // Runs the command once its options are parsed. Raises UsageError for a bad value, and
    // tsl::wruntime_error (or CliFailure) on failure.
    virtual void Run(const Context& context) = 0;
};

// Every command, in name order.
std::vector<std::unique_ptr<Command>> Commands();

}  // namespace cli
