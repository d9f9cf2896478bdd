#include "measure/AudioWatchdog.h"

#include <algorithm>

namespace AudioSampler {

CaptureWatchdog::CaptureWatchdog(Threading::IClock& clock, std::chrono::milliseconds bufferDuration,
                                 std::function<void()> expired)
    : clock_(clock),
      wait_(2 * std::max(bufferDuration, std::chrono::milliseconds(1))),
      expired_(std::move(expired)) {
    thread_ = std::thread([this] { Run(); });
}

CaptureWatchdog::~CaptureWatchdog() {
    Stop();
}

void CaptureWatchdog::Beat() {
    std::lock_guard<std::mutex> g(lock_);
    ++beats_;
    wake_.notify_all();
}

void CaptureWatchdog::Stop() {
    {
        std::lock_guard<std::mutex> g(lock_);
        stop_ = true;
        wake_.notify_all();
    }
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

bool CaptureWatchdog::Expired() const {
    std::lock_guard<std::mutex> g(lock_);
    return fired_;
}

int CaptureWatchdog::ConsecutiveTimeouts() const {
    std::lock_guard<std::mutex> g(lock_);
    return timeouts_;
}

void CaptureWatchdog::Run() {
    std::unique_lock<std::mutex> l(lock_);
    while (!stop_) {
        const unsigned long seen = beats_;
        const bool woken = clock_.WaitFor(wake_, l, wait_, [&] { return stop_ || beats_ != seen; });
        if (stop_)
            break;
        if (woken) {
            timeouts_ = 0;
            continue;
        }
        if (++timeouts_ >= kCaptureTimeoutLimit) {
            fired_ = true;
            l.unlock();
            if (expired_)
                expired_();
            return;
        }
    }
}

}  // namespace AudioSampler
