#pragma once
// One factory per command file; Commands() lists them all.

#include "cli/Cli.h"

namespace cli {
namespace analyse_command {
Command Make();
}
namespace block_command {
Command Make();
}
namespace cal_command {
Command Make();
}
namespace calculate_command {
Command Make();
}
namespace devices_command {
Command Make();
}
namespace doc_command {
Command Make();
}
namespace erase_command {
Command Make();
}
namespace export_command {
Command MakeExport();
Command MakeEq();
}  // namespace export_command
namespace firmware_command {
Command Make();
}
namespace measure_command {
Command Make();
}
namespace models_command {
Command Make();
}
namespace run_command {
Command Make();
}
namespace sweep_command {
Command Make();
}
namespace upload_command {
Command Make();
}
namespace verify_command {
Command Make();
}
}  // namespace cli
