#include "cli/Commands.h"

#include <algorithm>
#include <iostream>

namespace cli {

std::vector<Command> Commands() {
    std::vector<Command> commands{
        analyse_command::Make(),   block_command::Make(),    cal_command::Make(),
        calculate_command::Make(), devices_command::Make(),  doc_command::Make(),
        erase_command::Make(),     export_command::MakeEq(), export_command::MakeExport(),
        firmware_command::Make(),  measure_command::Make(),  models_command::Make(),
        run_command::Make(),       sweep_command::Make(),    upload_command::Make(),
        verify_command::Make(),
    };
    std::sort(commands.begin(), commands.end(),
              [](const Command& a, const Command& b) { return a.name < b.name; });
    return commands;
}

void PrintLine(const std::string& text) {
    std::string line = text;
    std::erase(line, '\r');
    std::cout << line << '\n';
}

}  // namespace cli
