#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <iostream>
#include <string>

#include "app/AppText.h"
#include "cli/Cli.h"
#include "cli/UsbSession.h"
#include "threading/Errors.h"
#include "threading/HeapPolicy.h"
#include "threading/WaitPolicy.h"

namespace cli {

namespace {
std::vector<std::pair<std::string, CommandSetup>>& Registry() {
    static std::vector<std::pair<std::string, CommandSetup>> commands;
    return commands;
}
}  // namespace

CommandRegistration::CommandRegistration(std::string name, CommandSetup setup) {
    Registry().emplace_back(std::move(name), std::move(setup));
}

const std::vector<std::pair<std::string, CommandSetup>>& Commands() {
    auto& r = Registry();
    std::sort(r.begin(), r.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return r;
}

void PrintLine(const std::string& text) {
    std::string line = text;
    std::erase(line, '\r');
    std::cout << line << '\n';
}

}  // namespace cli

int main(int argc, char** argv) {
    Threading::UsePassiveWaitPolicy(argv);
    Threading::KeepFreedMemoryForReuse();
    CLI::App app{"tessaline-cli: measure a room, fit and write a subwoofer equaliser"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "tessaline-cli version " + tsl::ToUtf8(ProgramVersionText()),
                         "Print the program's version and exit");
    cli::GlobalOptions globals;
    app.add_flag("--trace", globals.trace, "Print every USB command, reply and control request");
    cli::AddUsbOptions(app, globals);
    for (const auto& [name, setup] : cli::Commands())
        setup(app, globals);
    // Global options may follow the command name of every command, nested ones included.
    std::function<void(CLI::App&)> fallThrough = [&fallThrough](CLI::App& parent) {
        for (CLI::App* command : parent.get_subcommands({})) {
            command->fallthrough();
            fallThrough(*command);
        }
    };
    fallThrough(app);

    int status = 0;
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 1;
    } catch (const cli::UsageError& e) {
        std::cerr << e.what() << '\n';
        return 1;
    } catch (const cli::CliFailure& e) {
        std::cerr << e.what() << '\n';
        status = 2;
    } catch (const std::exception& e) {
        std::cerr << tsl::ToUtf8(tsl::ExceptionText(e)) << '\n';
        status = 2;
    }
    // The simulated subwoofer is saved whatever the command did; a failed save fails the run.
    try {
        if (globals.session)
            globals.session->Finish();
    } catch (const std::exception& e) {
        std::cerr << tsl::ToUtf8(tsl::ExceptionText(e)) << '\n';
        status = 2;
    }
    std::cout.flush();
    return status;
}
