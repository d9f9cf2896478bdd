// tessaline-cli erase: erases the equaliser of the connected subwoofer.

#include "cli/Cli.h"
#include "cli/UsbSession.h"
#include "threading/Errors.h"

namespace {

const wchar_t* const kErased = L"Your subwoofers EQ has successfully been erased";

const cli::CommandRegistration registration{"erase", [](CLI::App& app, cli::GlobalOptions&) {
                                                auto* cmd = app.add_subcommand(
                                                    "erase", "Erase the subwoofer's equaliser");
                                                cmd->callback([] {
                                                    cli::UploadCoefficients(EqResult{}, 0, true);
                                                    cli::PrintLine(tsl::ToUtf8(kErased));
                                                });
                                            }};

}  // namespace
