#pragma once
// A clock whose time moves only when the test says so. SleepFor and WaitUntil block (waiting
// in short real slices, never sleeping) until Advance has moved time far enough, so a test
// controls exactly when a time-out fires. Thread-safe.

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "threading/Clock.h"

namespace testing_support {

class ManualClock final : public Threading::IClock {
public:
    TimePoint Now() const override;
    void SleepFor(Duration d) override;
    bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                   TimePoint deadline, const std::function<bool()>& pred) override;

    void Advance(Duration d);
    // Threads currently blocked in SleepFor or WaitUntil.
    int Waiters() const { return waiters_.load(); }

private:
    mutable std::mutex lock_;
    std::condition_variable advanced_;
    TimePoint now_{};
    std::atomic<int> waiters_{0};
};

}  // namespace testing_support
