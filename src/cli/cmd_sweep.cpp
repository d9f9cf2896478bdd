// tessaline-cli sweep: the repeating test sweep as a WAV file, for checking a playback chain.

#include <memory>
#include <string>
#include <vector>

#include "cli/Command.h"
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

class SweepCommand final : public Command {
public:
    std::string Name() const override { return "sweep"; }
    std::string Description() const override {
        return "Write periods of the 65536-sample test sweep as a 32-bit float 48 kHz WAV";
    }
    void AddOptions(CLI::App& cmd) override {
        cmd.add_option("out", args_.path, "Output WAV file")->required();
        cmd.add_option("--periods", args_.periods, "Number of sweep periods (default 3)")
            ->check(CLI::Range(1, 1000));
    }
    void Run(const Context&) override { WriteSweep(args_); }

private:
    SweepArgs args_;
};

std::unique_ptr<Command> Make() {
    return std::make_unique<SweepCommand>();
}

}  // namespace cli::sweep_command
