// The hand-off of calls from workers to the thread that drains the bridge.

#include "threading/UiCall.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>

#include "threading/Errors.h"

namespace {

using namespace Threading;

// Drains until the future is ready; the test thread plays the UI thread.
template <typename T>
T DrainUntil(MessageBridge& bridge, std::future<T>& done) {
    RealClock clock;
    while (done.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        bridge.WaitForMessage(clock, std::chrono::milliseconds(5));
        bridge.Drain();
    }
    return done.get();
}

TEST(UiCaller, AWorkersCallRunsOnTheDrainingThreadAndRaisesItsFailureInTheWorker) {
    MessageBridge bridge;
    bridge.Start();
    UiCaller caller(bridge);
    const auto ui = std::this_thread::get_id();
    auto ran = std::async(std::launch::async, [&] {
        std::thread::id where;
        EXPECT_TRUE(caller.Run([&] { where = std::this_thread::get_id(); }));
        EXPECT_THROW(caller.Run([] { throw tsl::wruntime_error(L"no"); }), tsl::wruntime_error);
        return where;
    });
    EXPECT_EQ(DrainUntil(bridge, ran), ui);

    bool direct = false;
    EXPECT_TRUE(caller.Run([&] { direct = true; }));  // on the UI thread: at once
    EXPECT_TRUE(direct);
}

TEST(UiCaller, CancelReleasesAWaitingWorkerAndTheCallNeverRuns) {
    MessageBridge bridge;
    bridge.Start();
    UiCaller caller(bridge);
    std::atomic<bool> ran{false};
    auto waiting = std::async(std::launch::async, [&] { return caller.Run([&] { ran = true; }); });
    while (bridge.Pending() == 0)
        std::this_thread::yield();
    caller.Cancel();
    EXPECT_FALSE(waiting.get());
    bridge.Drain();  // the record is still queued; taking it must not run it
    EXPECT_FALSE(ran);
}

// Held (an abort question is open): a call that reaches the UI thread waits, Release runs it;
// one cancelled while held never runs.
TEST(UiCaller, AHeldCallWaitsForReleaseAndACancelledOneNeverRuns) {
    MessageBridge bridge;
    bridge.Start();
    UiCaller caller(bridge);
    for (const bool cancel : {false, true}) {
        caller.Reset();
        std::atomic<bool> ran{false};
        caller.Hold();
        auto waiting =
            std::async(std::launch::async, [&] { return caller.Run([&] { ran = true; }); });
        while (bridge.Pending() == 0)
            std::this_thread::yield();
        bridge.Drain();  // taken while held: kept back
        EXPECT_FALSE(ran);
        EXPECT_NE(waiting.wait_for(std::chrono::seconds(0)), std::future_status::ready);
        if (cancel)
            caller.Cancel();
        caller.Release();
        EXPECT_EQ(waiting.get(), !cancel);
        EXPECT_EQ(ran.load(), !cancel);
    }
}

TEST(UiCaller, ABridgeShutDownReleasesAWaitingWorker) {
    MessageBridge bridge;
    bridge.Start();
    UiCaller caller(bridge);
    auto waiting = std::async(std::launch::async, [&] { return caller.Run([] {}); });
    while (bridge.Pending() == 0)
        std::this_thread::yield();
    bridge.Shutdown();
    EXPECT_FALSE(waiting.get());
}

TEST(UiPrompt, AnUnaskedQuestionGetsTheDecliningAnswer) {
    MessageBridge bridge;
    UiCaller caller(bridge, std::thread::id());  // no thread is the UI thread
    caller.Cancel();
    struct Never : IPrompt {
        MsgResult MessageBox(const std::wstring&, const std::wstring&, MsgButtons,
                             MsgIcon) override {
            ADD_FAILURE();
            return MsgResult::Yes;
        }
        std::optional<size_t> Choose(const std::wstring&,
                                     const std::vector<std::wstring>&) override {
            ADD_FAILURE();
            return 0;
        }
    } never;
    UiPrompt prompt(caller, [&]() -> IPrompt& { return never; });
    EXPECT_EQ(prompt.MessageBox(L"?", L"", MsgButtons::YesNo, MsgIcon::Question), MsgResult::No);
    EXPECT_FALSE(prompt.Choose(L"?", {L"a"}));
}

}  // namespace
