#include "measure/ImpulseFile.h"

#include <sndfile.h>

#include <memory>
#include <string>

#include "threading/Errors.h"

namespace {

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfilePtr = std::unique_ptr<SNDFILE, SndfileCloser>;

[[noreturn]] void Fail(const std::wstring& why) {
    throw tsl::wruntime_error(why);
}

}  // namespace

ImpulseSamples ReadImpulseFile(const std::filesystem::path& path) {
    SF_INFO info{};
    SndfilePtr file(sf_open(path.string().c_str(), SFM_READ, &info));
    if (!file) {
        std::wstring reason = tsl::FromUtf8(sf_strerror(nullptr));
        while (!reason.empty() && (reason.back() == L'.' || reason.back() == L' '))
            reason.pop_back();
        Fail(reason + L".");
    }
    if (info.channels != 1)
        Fail(L"it has " + std::to_wstring(info.channels) +
             L" channels; an impulse response is one channel.");
    if (info.samplerate < kMinImpulseRate || info.samplerate > kMaxImpulseRate)
        Fail(L"its sample rate of " + std::to_wstring(info.samplerate) + L" Hz is not from " +
             std::to_wstring(kMinImpulseRate) + L" to " + std::to_wstring(kMaxImpulseRate) +
             L" Hz.");
    if (info.frames > kMaxImpulseFrames)
        Fail(L"it holds more than " + std::to_wstring(kMaxImpulseFrames) + L" samples.");
    if (info.frames < 2)
        Fail(L"it holds fewer than two samples.");
    ImpulseSamples impulse;
    impulse.sampleRate = info.samplerate;
    impulse.samples.resize(static_cast<size_t>(info.frames));
    const sf_count_t got = sf_readf_double(file.get(), impulse.samples.data(), info.frames);
    if (got != info.frames)
        Fail(L"the file ends after " + std::to_wstring(got) + L" of " +
             std::to_wstring(info.frames) + L" samples.");
    return impulse;
}
