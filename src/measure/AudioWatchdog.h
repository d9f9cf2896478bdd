#pragma once
// Watches a stream for the recorder: every delivery is a beat; a wait of twice the buffer
// duration without one is a time-out, and the sixth time-out in a row means the microphone is
// gone. Waits go through the injectable clock.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "threading/Clock.h"

namespace AudioSampler {

inline constexpr int kCaptureTimeoutLimit = 6;

class CaptureWatchdog {
public:
    // `expired` runs once, on the watchdog's thread, when the limit is reached.
    CaptureWatchdog(Threading::IClock& clock, std::chrono::milliseconds bufferDuration,
                    std::function<void()> expired);
    ~CaptureWatchdog();
    CaptureWatchdog(const CaptureWatchdog&) = delete;
    CaptureWatchdog& operator=(const CaptureWatchdog&) = delete;

    void Beat();
    // Ends the watch; the thread is joined.
    void Stop();
    bool Expired() const;
    int ConsecutiveTimeouts() const;

private:
    void Run();

    Threading::IClock& clock_;
    std::chrono::milliseconds wait_;
    std::function<void()> expired_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    unsigned long beats_ = 0;
    int timeouts_ = 0;
    bool stop_ = false;
    bool fired_ = false;
    std::thread thread_;
};

}  // namespace AudioSampler
