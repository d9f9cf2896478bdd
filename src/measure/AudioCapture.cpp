#include "measure/AudioCapture.h"

#include <algorithm>
#include <chrono>

namespace AudioSampler {

SyncCap::SyncCap(std::int32_t target, CaptureFormatPtr format)
    : format_(std::move(format)),
      buffer_(std::make_shared<std::vector<double>>(
          static_cast<std::size_t>(std::max<std::int32_t>(target, 0)), 0.0)),
      target_(std::max<std::int32_t>(target, 0)) {}

AudioResult SyncCap::Store(std::int32_t count, bool& done, const double* values,
                           const std::int16_t* samples, int stride) {
    std::lock_guard<std::mutex> g(lock_);
    // The buffer holds the target the sink was made with; Reset only ever lowers the target.
    const auto size = static_cast<std::int32_t>(buffer_->size());
    const std::int32_t limit = std::min(target_, size);
    const std::int32_t fits = std::clamp<std::int32_t>(count, 0, std::max(limit - position_, 0));
    double* out = buffer_->data() + position_;
    if (values) {
        std::copy(values, values + fits, out);
    } else {
        for (std::int32_t i = 0; i < fits; ++i)
            out[i] = samples[static_cast<std::ptrdiff_t>(i) * stride] / 65536.0;
    }
    position_ += fits;
    if (position_ >= target_) {
        done = true;
        if (!full_) {
            full_ = true;
            signal_.notify_all();
        }
    }
    return kAudioOk;
}

AudioResult SyncCap::DeliverDoubles(const double* values, std::int32_t count, bool& done) {
    if (!values && count > 0)
        return kAudioGenericFailure;
    return Store(count, done, values, nullptr, 1);
}

AudioResult SyncCap::DeliverSamples(const std::int16_t* values, std::int32_t frames, bool& done) {
    if (!format_ || format_->bitsPerSample != 16 || format_->channels == 0)
        return kAudioUnsupportedFormat;
    if (!values && frames > 0)
        return kAudioGenericFailure;
    return Store(frames, done, nullptr, values, format_->channels);
}

void SyncCap::Reset() {
    std::lock_guard<std::mutex> g(lock_);
    position_ = 0;
    target_ = 0;
    if (buffer_.use_count() > 1)
        buffer_ = std::make_shared<std::vector<double>>(buffer_->size(), 0.0);
    else
        std::fill(buffer_->begin(), buffer_->end(), 0.0);
}

void SyncCap::Arm() {
    std::lock_guard<std::mutex> g(lock_);
    // The previous capture may still be in the hands of a measurement; never overwrite it.
    if (buffer_.use_count() > 1)
        buffer_ = std::make_shared<std::vector<double>>(buffer_->size(), 0.0);
    position_ = 0;
    full_ = false;
    aborted_ = false;
}

void SyncCap::Abort() {
    std::lock_guard<std::mutex> g(lock_);
    aborted_ = true;
    signal_.notify_all();
}

std::int32_t SyncCap::Position() const {
    std::lock_guard<std::mutex> g(lock_);
    return position_;
}

std::int32_t SyncCap::Target() const {
    std::lock_guard<std::mutex> g(lock_);
    return target_;
}

SampleBuffer SyncCap::Wait(Threading::IClock& clock, Threading::IClock::Duration timeout) {
    std::unique_lock<std::mutex> l(lock_);
    const auto start = clock.Now();
    const auto deadline = start + timeout;
    const auto hardDeadline = deadline + timeout;
    const auto ready = [this] { return full_ || aborted_; };
    // Waits in slices. A virtual clock gives up a slice after a short real grace period and
    // jumps to its end, so a producer that is merely slower than real time would lose the race;
    // a stream that was still delivering during the last slice gets until twice the time-out.
    const auto slice =
        std::max<Threading::IClock::Duration>(timeout / 16, std::chrono::milliseconds(1));
    std::int32_t seen = position_;
    bool progressed = true;
    while (!ready()) {
        const auto now = clock.Now();
        if (now >= hardDeadline || (now >= deadline && !progressed))
            break;
        const auto end = std::min(now + slice, now < deadline ? deadline : hardDeadline);
        clock.WaitUntil(signal_, l, end, ready);
        progressed = position_ != seen;
        seen = position_;
    }
    if (full_ && !aborted_)
        return buffer_;
    return nullptr;
}

SampleBuffer WaitForCapture(SyncCap& sink, Threading::IClock& clock) {
    const std::int64_t ms = static_cast<std::int64_t>(sink.Target()) * 1500 / 48000;
    return sink.Wait(clock, std::chrono::milliseconds(ms));
}

}  // namespace AudioSampler
