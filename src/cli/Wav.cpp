#include "cli/Wav.h"

#include <sndfile.h>

#include <algorithm>
#include <memory>

#include "cli/CliErrors.h"

namespace cli {

namespace {

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfilePtr = std::unique_ptr<SNDFILE, SndfileCloser>;

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

}  // namespace

MonoRecording ReadMonoRecording(const std::string& path, std::int64_t maxFrames) {
    SF_INFO info{};
    SndfilePtr file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file)
        throw CliFailure("cannot read " + Quoted(path) + ": " + sf_strerror(nullptr));
    if (info.channels != 1)
        throw CliFailure(Quoted(path) + " has " + std::to_string(info.channels) +
                         " channels, expected a mono capture");
    MonoRecording recording;
    recording.sampleRate = info.samplerate;
    recording.frames = std::max<sf_count_t>(info.frames, 0);
    const std::int64_t wanted = std::clamp<std::int64_t>(maxFrames, 0, recording.frames);
    recording.samples.resize(static_cast<std::size_t>(wanted));
    const sf_count_t got = sf_readf_double(file.get(), recording.samples.data(), wanted);
    if (got != wanted)
        throw CliFailure("cannot read " + Quoted(path) + ": the file ends after " +
                         std::to_string(got) + " of " + std::to_string(wanted) + " samples");
    return recording;
}

void WriteFloatWav(const std::string& path, const double* samples, std::size_t count,
                   int sampleRate) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SndfilePtr file(sf_open(path.c_str(), SFM_WRITE, &info));
    if (!file)
        throw CliFailure("cannot write " + Quoted(path) + ": " + sf_strerror(nullptr));
    const auto frames = static_cast<sf_count_t>(count);
    if (sf_writef_double(file.get(), samples, frames) != frames)
        throw CliFailure("cannot write " + Quoted(path) + ": " + sf_strerror(file.get()));
}

}  // namespace cli
