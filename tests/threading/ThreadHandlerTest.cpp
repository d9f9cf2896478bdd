#include "threading/ThreadHandler.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "support/ScriptedPrompt.h"

using testing_support::ScriptedPrompt;
using Threading::ThreadHandler;
using Threading::UIThreadHandler;

namespace {

// Latch can wait forever with MinGW's libstdc++ (its atomic wait misses a notification), so
// the tests count down on a condition variable.
class Latch {
public:
    explicit Latch(int count) : count_(count) {}
    void count_down() {
        std::lock_guard<std::mutex> g(lock_);
        if (--count_ <= 0)
            zero_.notify_all();
    }
    void wait() {
        std::unique_lock<std::mutex> g(lock_);
        zero_.wait(g, [this] { return count_ <= 0; });
    }

private:
    std::mutex lock_;
    std::condition_variable zero_;
    int count_;
};

// Records the order in which its tasks ran; a task may block on a gate or throw.
struct Recorder {
    std::mutex lock;
    std::vector<int> ran;
    std::shared_future<void> gate;
    std::promise<void> entered;
    Latch* done = nullptr;

    void Record(int id) {
        std::lock_guard<std::mutex> g(lock);
        ran.push_back(id);
    }
    std::vector<int> Ran() {
        std::lock_guard<std::mutex> g(lock);
        return ran;
    }
    void Run(int id) {
        Record(id);
        if (done)
            done->count_down();
    }
    void Blocking(int id) {
        entered.set_value();
        gate.wait();
        Record(id);
    }
    void ThrowWide(int id) {
        Record(id);
        throw tsl::TCodedException(1, L"told the user already");
    }
    void ThrowOther(int id) {
        Record(id);
        throw std::logic_error("not ours");
    }
};

}  // namespace

TEST(ThreadHandler, TasksQueuedAtOnceRunInOrder) {
    Recorder r;
    Latch done(3);
    r.done = &done;
    ThreadHandler<Recorder, int> worker;
    worker.AddTask(&Recorder::Run, &r, 1);
    worker.AddTask(&Recorder::Run, &r, 2);
    worker.AddTask(&Recorder::Run, &r, 3);
    done.wait();
    EXPECT_EQ(r.Ran(), (std::vector<int>{1, 2, 3}));
}

TEST(ThreadHandler, NullFunctionIsSkipped) {
    Recorder r;
    Latch done(1);
    r.done = &done;
    UIThreadHandler<Recorder, int> worker(nullptr, 5);
    worker.AddTask(nullptr, &r, 1);
    worker.AddTask(&Recorder::Run, &r, 2);
    done.wait();
    EXPECT_EQ(r.Ran(), (std::vector<int>{2}));
}

TEST(ThreadHandler, ClearTasksKeepsRunningTaskAndDropsQueued) {
    Recorder r;
    std::promise<void> open;
    r.gate = open.get_future().share();
    Latch done(1);
    r.done = &done;
    ThreadHandler<Recorder, int> worker;
    worker.AddTask(&Recorder::Blocking, &r, 1);
    r.entered.get_future().wait();
    worker.AddTask(&Recorder::Run, &r, 2);
    worker.AddTask(&Recorder::Run, &r, 3);
    worker.ClearTasks();
    open.set_value();
    worker.AddTask(&Recorder::Run, &r, 4);
    done.wait();
    EXPECT_EQ(r.Ran(), (std::vector<int>{1, 4}));
}

TEST(ThreadHandler, DestructionWaitsForRunningTaskAndDiscardsQueued) {
    Recorder r;
    std::promise<void> open;
    r.gate = open.get_future().share();
    auto worker = std::make_unique<ThreadHandler<Recorder, int>>();
    worker->AddTask(&Recorder::Blocking, &r, 1);
    r.entered.get_future().wait();
    worker->AddTask(&Recorder::Run, &r, 2);
    auto* raw = worker.get();
    auto destroyed = std::async(std::launch::async, [&] { worker.reset(); });
    while (!raw->StopRequested())
        std::this_thread::yield();
    // The destructor is now waiting for task 1.
    EXPECT_EQ(destroyed.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    open.set_value();
    destroyed.get();
    EXPECT_EQ(r.Ran(), (std::vector<int>{1}));
}

TEST(ThreadHandler, WideErrorIsIgnoredAndNextTaskRuns) {
    Recorder r;
    Latch done(1);
    r.done = &done;
    ScriptedPrompt prompt;
    ThreadHandler<Recorder, int> worker(&prompt);
    worker.AddTask(&Recorder::ThrowWide, &r, 1);
    worker.AddTask(&Recorder::Run, &r, 2);
    done.wait();
    EXPECT_EQ(r.Ran(), (std::vector<int>{1, 2}));
    EXPECT_TRUE(prompt.Calls().empty());
}

TEST(ThreadHandler, OtherExceptionShowsOneBoxAndLeavesRestQueued) {
    Recorder r;
    std::promise<void> open;
    r.gate = open.get_future().share();
    ScriptedPrompt prompt;
    std::promise<void> boxShown;
    prompt.OnAsk([&](const testing_support::PromptCall&) { boxShown.set_value(); });
    ThreadHandler<Recorder, int> worker(&prompt);
    worker.AddTask(&Recorder::Blocking, &r, 0);
    r.entered.get_future().wait();
    worker.AddTask(&Recorder::ThrowOther, &r, 1);
    worker.AddTask(&Recorder::Run, &r, 2);
    open.set_value();
    boxShown.get_future().wait();
    while (worker.Busy() != 0)
        std::this_thread::yield();
    EXPECT_EQ(r.Ran(), (std::vector<int>{0, 1}));

    auto calls = prompt.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text,
              L"Unhandled exception. Application termination is highly recommended.");
    EXPECT_EQ(calls[0].caption, L"Error");
    EXPECT_EQ(calls[0].icon, Threading::MsgIcon::Error);
    EXPECT_EQ(calls[0].buttons, Threading::MsgButtons::Ok);

    Latch done(2);
    r.done = &done;
    worker.AddTask(&Recorder::Run, &r, 3);
    done.wait();
    EXPECT_EQ(r.Ran(), (std::vector<int>{0, 1, 2, 3}));
}
