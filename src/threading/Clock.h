#pragma once
// The injectable clock. Everything that waits (reply time-outs, settle times, capture) goes
// through IClock so that simulations and tests run without real sleeps.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace Threading {

class IClock {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;
    using Duration = Clock::duration;

    virtual ~IClock() = default;
    virtual TimePoint Now() const = 0;
    virtual void SleepFor(Duration d) = 0;
    // Waits on cv (lock held by the caller) until pred() holds or the deadline passes; returns
    // pred() at the end, like std::condition_variable::wait_until with a predicate.
    virtual bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                           TimePoint deadline, const std::function<bool()>& pred) = 0;

    bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, Duration d,
                 const std::function<bool()>& pred) {
        return WaitUntil(cv, lock, Now() + d, pred);
    }
};

class RealClock final : public IClock {
public:
    TimePoint Now() const override { return Clock::now(); }
    void SleepFor(Duration d) override;
    bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                   TimePoint deadline, const std::function<bool()>& pred) override;

    // The process-wide real clock, for default arguments.
    static RealClock& Instance();
};

// Virtual time for simulations and tests. SleepFor advances time at once. WaitUntil returns as
// soon as the predicate holds; when it still does not hold after a short real grace period,
// virtual time jumps to the deadline and the wait times out. So time-outs are fast while replies
// produced by other threads still arrive.
class VirtualClock final : public IClock {
public:
    explicit VirtualClock(std::chrono::milliseconds grace = std::chrono::milliseconds(20),
                          TimePoint start = TimePoint{});

    TimePoint Now() const override;
    void SleepFor(Duration d) override;
    bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                   TimePoint deadline, const std::function<bool()>& pred) override;

    // Moves virtual time forward (never backward).
    void Advance(Duration d);
    void AdvanceTo(TimePoint t);
    void SetGrace(std::chrono::milliseconds grace);
    // Total virtual time elapsed since construction.
    Duration Elapsed() const;

private:
    mutable std::mutex mutex_;
    TimePoint start_;
    TimePoint now_;
    std::chrono::milliseconds grace_;
};

}  // namespace Threading
