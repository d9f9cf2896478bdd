#include "threading/Clock.h"

#include <thread>

namespace Threading {

void RealClock::SleepFor(Duration d) {
    if (d > Duration::zero())
        std::this_thread::sleep_for(d);
}

bool RealClock::WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                          TimePoint deadline, const std::function<bool()>& pred) {
    return cv.wait_until(lock, deadline, pred);
}

RealClock& RealClock::Instance() {
    static RealClock clock;
    return clock;
}

VirtualClock::VirtualClock(std::chrono::milliseconds grace, TimePoint start)
    : start_(start), now_(start), grace_(grace) {}

IClock::TimePoint VirtualClock::Now() const {
    std::lock_guard<std::mutex> g(mutex_);
    return now_;
}

void VirtualClock::SleepFor(Duration d) {
    Advance(d);
}

void VirtualClock::Advance(Duration d) {
    if (d <= Duration::zero())
        return;
    std::lock_guard<std::mutex> g(mutex_);
    now_ += d;
}

void VirtualClock::AdvanceTo(TimePoint t) {
    std::lock_guard<std::mutex> g(mutex_);
    if (t > now_)
        now_ = t;
}

void VirtualClock::SetGrace(std::chrono::milliseconds grace) {
    std::lock_guard<std::mutex> g(mutex_);
    grace_ = grace;
}

IClock::Duration VirtualClock::Elapsed() const {
    std::lock_guard<std::mutex> g(mutex_);
    return now_ - start_;
}

bool VirtualClock::WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                             TimePoint deadline, const std::function<bool()>& pred) {
    // The caller's lock is held throughout except inside cv.wait_for; our own mutex is only
    // taken briefly and never while waiting, so there is no lock-order problem.
    if (pred())
        return true;
    if (Now() >= deadline)
        return false;
    std::chrono::milliseconds grace;
    {
        std::lock_guard<std::mutex> g(mutex_);
        grace = grace_;
    }
    if (cv.wait_for(lock, grace, pred))
        return true;
    // Another thread may already have moved time past the deadline; either way it has passed.
    AdvanceTo(deadline);
    return pred();
}

}  // namespace Threading
