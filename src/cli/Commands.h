#pragma once
// One factory per command file; Commands() lists them all.

#include <memory>

#include "cli/Command.h"

namespace cli {
namespace analyse_command {
std::unique_ptr<Command> Make();
}
namespace block_command {
std::unique_ptr<Command> Make();
}
namespace cal_command {
std::unique_ptr<Command> Make();
}
namespace calculate_command {
std::unique_ptr<Command> Make();
}
namespace decay_command {
std::unique_ptr<Command> Make();
}
namespace devices_command {
std::unique_ptr<Command> Make();
}
namespace doc_command {
std::unique_ptr<Command> Make();
}
namespace erase_command {
std::unique_ptr<Command> Make();
}
namespace export_command {
std::unique_ptr<Command> MakeExport();
std::unique_ptr<Command> MakeEq();
}  // namespace export_command
namespace firmware_command {
std::unique_ptr<Command> Make();
}
namespace history_command {
std::unique_ptr<Command> Make();
}
namespace measure_command {
std::unique_ptr<Command> Make();
}
namespace models_command {
std::unique_ptr<Command> Make();
}
namespace run_command {
std::unique_ptr<Command> Make();
}
namespace sweep_command {
std::unique_ptr<Command> Make();
}
namespace upload_command {
std::unique_ptr<Command> Make();
}
namespace verify_command {
std::unique_ptr<Command> Make();
}
}  // namespace cli
