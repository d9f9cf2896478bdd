#pragma once
// Reading and writing mono sound files for the command-line tools. Failures raise CliFailure
// with a one-line message naming the file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cli {

struct MonoRecording {
    int sampleRate = 0;
    std::int64_t frames = 0;      // frames in the file
    std::vector<double> samples;  // the first min(frames, limit) of them
};

// Reads at most maxFrames frames of a one-channel file (any format libsndfile reads, 16-bit
// samples scaled to -1 .. 1).
MonoRecording ReadMonoRecording(const std::string& path, std::int64_t maxFrames);

// Writes a one-channel 32-bit float WAV file.
void WriteFloatWav(const std::string& path, const double* samples, std::size_t count,
                   int sampleRate);

}  // namespace cli
