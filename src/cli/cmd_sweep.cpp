// tessaline-cli sweep: the repeating test sweep as a WAV file, for checking a playback chain.

#include <memory>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Wav.h"
#include "measure/Impulse.h"

namespace cli::sweep_command {

struct SweepArgs {
    std::string path;
    int periods = 3;
};

void WriteSweep(const SweepArgs& args) {
    const CurvePtr sweep = SweepReference(kSweepLength, kSweepRate);
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(args.periods) * kSweepLength);
    for (int p = 0; p < args.periods; ++p)
        samples.insert(samples.end(), sweep->First(), sweep->First() + kSweepLength);
    cli::WriteFloatWav(args.path, samples.data(), samples.size(), kSweepRate);
}

Command Make() {
    return {"sweep", [](CLI::App& app, cli::GlobalOptions&) {
                auto args = std::make_shared<SweepArgs>();
                auto* cmd = app.add_subcommand(
                    "sweep",
                    "Write periods of the 65536-sample test sweep as a 32-bit float 48 kHz WAV");
                cmd->add_option("out", args->path, "Output WAV file")->required();
                cmd->add_option("--periods", args->periods, "Number of sweep periods (default 3)")
                    ->check(CLI::Range(1, 1000));
                cmd->callback([args] { WriteSweep(*args); });
            }};
}

}  // namespace cli::sweep_command
