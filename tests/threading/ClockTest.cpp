#include "threading/Clock.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/ManualClock.h"

using namespace std::chrono_literals;
using Threading::VirtualClock;

TEST(VirtualClock, SleepAdvancesTimeAtOnce) {
    VirtualClock clock;
    auto start = clock.Now();
    auto real = std::chrono::steady_clock::now();
    clock.SleepFor(1500ms);
    clock.SleepFor(-5ms);
    EXPECT_EQ(clock.Now() - start, 1500ms);
    EXPECT_LT(std::chrono::steady_clock::now() - real, 1000ms);
}

TEST(VirtualClock, WaitReturnsAtOnceWhenPredicateHolds) {
    VirtualClock clock(10s);
    std::mutex m;
    std::condition_variable cv;
    std::unique_lock<std::mutex> lock(m);
    EXPECT_TRUE(clock.WaitFor(cv, lock, 2000ms, [] { return true; }));
    EXPECT_EQ(clock.Elapsed(), 0ms);
    EXPECT_TRUE(lock.owns_lock());
}

TEST(VirtualClock, WaitTimesOutByJumpingToTheDeadline) {
    VirtualClock clock(1ms);
    clock.SleepFor(300ms);
    std::mutex m;
    std::condition_variable cv;
    std::unique_lock<std::mutex> lock(m);
    auto deadline = clock.Now() + 2000ms;
    EXPECT_FALSE(clock.WaitUntil(cv, lock, deadline, [] { return false; }));
    EXPECT_EQ(clock.Now(), deadline);
    EXPECT_TRUE(lock.owns_lock());
    // A deadline already passed does not wait and does not move time back.
    EXPECT_FALSE(clock.WaitUntil(cv, lock, deadline - 1000ms, [] { return false; }));
    EXPECT_EQ(clock.Now(), deadline);
}

TEST(VirtualClock, ReplyFromAnotherThreadArrivesBeforeTheTimeOut) {
    // The grace period is long, so only the notification can end the wait early.
    VirtualClock clock(30s);
    std::mutex m;
    std::condition_variable cv;
    bool reply = false;
    std::thread replier([&] {
        std::lock_guard<std::mutex> g(m);
        reply = true;
        cv.notify_all();
    });
    {
        std::unique_lock<std::mutex> lock(m);
        EXPECT_TRUE(clock.WaitFor(cv, lock, 2000ms, [&] { return reply; }));
    }
    replier.join();
    EXPECT_EQ(clock.Elapsed(), 0ms);
}

TEST(RealClock, WaitWithHoldingPredicateDoesNotBlock) {
    auto& clock = Threading::RealClock::Instance();
    std::mutex m;
    std::condition_variable cv;
    std::unique_lock<std::mutex> lock(m);
    auto before = clock.Now();
    EXPECT_TRUE(clock.WaitFor(cv, lock, 10s, [] { return true; }));
    EXPECT_LT(clock.Now() - before, 5s);
}

TEST(ManualClock, TimeOutFiresOnlyWhenAdvanced) {
    testing_support::ManualClock clock;
    std::mutex m;
    std::condition_variable cv;
    bool result = true;
    std::thread waiter([&] {
        std::unique_lock<std::mutex> lock(m);
        result = clock.WaitFor(cv, lock, 100ms, [] { return false; });
    });
    while (clock.Waiters() == 0)
        std::this_thread::yield();
    clock.Advance(99ms);
    clock.Advance(1ms);
    waiter.join();
    EXPECT_FALSE(result);
}
