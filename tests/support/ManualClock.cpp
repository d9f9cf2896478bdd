#include "support/ManualClock.h"

namespace testing_support {

namespace {
constexpr auto kSlice = std::chrono::milliseconds(1);

struct Waiting {
    std::atomic<int>& count;
    explicit Waiting(std::atomic<int>& c) : count(c) { ++count; }
    ~Waiting() { --count; }
};
}  // namespace

Threading::IClock::TimePoint ManualClock::Now() const {
    std::lock_guard<std::mutex> g(lock_);
    return now_;
}

void ManualClock::SleepFor(Duration d) {
    Waiting w(waiters_);
    std::unique_lock<std::mutex> g(lock_);
    TimePoint until = now_ + d;
    advanced_.wait(g, [&] { return now_ >= until; });
}

bool ManualClock::WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                            TimePoint deadline, const std::function<bool()>& pred) {
    Waiting w(waiters_);
    while (!pred()) {
        if (Now() >= deadline)
            return false;
        cv.wait_for(lock, kSlice);
    }
    return true;
}

void ManualClock::Advance(Duration d) {
    {
        std::lock_guard<std::mutex> g(lock_);
        now_ += d;
    }
    advanced_.notify_all();
}

}  // namespace testing_support
