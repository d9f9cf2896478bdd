#include "cli/Commands.h"

#include <algorithm>
#include <ostream>

namespace cli {

std::vector<std::unique_ptr<Command>> Commands() {
    std::vector<std::unique_ptr<Command>> commands;
    for (auto make :
         {analyse_command::Make, block_command::Make, cal_command::Make, calculate_command::Make,
          decay_command::Make, devices_command::Make, doc_command::Make, erase_command::Make,
          export_command::MakeEq, export_command::MakeExport, firmware_command::Make,
          history_command::Make, measure_command::Make, models_command::Make, run_command::Make,
          sweep_command::Make, upload_command::Make, verify_command::Make})
        commands.push_back(make());
    std::sort(commands.begin(), commands.end(),
              [](const auto& a, const auto& b) { return a->Name() < b->Name(); });
    return commands;
}

void PrintLine(std::ostream& out, const std::string& text) {
    std::string line = text;
    std::erase(line, '\r');
    out << line << '\n';
}

}  // namespace cli
