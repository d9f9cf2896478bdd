// The capture file reader behind `tessaline-cli analyse` (libsndfile and the checks after it)
// and the analysis of what it accepts; with bit 2 of the first byte set, the --band text instead.
// An analysis that succeeds must give a finite response.
#include <unistd.h>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <new>

#include "FuzzTarget.h"
#include "cli/Analyse.h"
#include "cli/CliErrors.h"
#include "threading/Errors.h"

TESSALINE_FUZZ_TARGET(analyse) {
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("tessaline-fuzz-" + std::to_string(getpid()) + ".wav"))
                                        .string();
    fuzzing::Input input(data, size);
    const uint8_t flags = input.Byte();
    cli::AnalyseOptions options;
    if (flags & 4) {
        try {
            cli::ParseBand(input.Rest(), options);
            FUZZ_CHECK(options.bandLow >= 0 && options.bandLow < options.bandHigh);
        } catch (const cli::UsageError&) {
        }
        return 0;
    }
    options.quick = flags & 1;
    options.smooth = flags & 2;
    {
        const std::string bytes = input.Rest();
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    try {
        for (const cli::ResponsePoint& p : cli::AnalyseCapture(path, options))
            FUZZ_CHECK(std::isfinite(p.frequencyHz) && std::isfinite(p.levelDb) &&
                       std::isfinite(p.phaseRad));
    } catch (const cli::CliFailure&) {
    } catch (const tsl::wruntime_error&) {
    }
    std::filesystem::remove(path);
    return 0;
}
