#pragma once
// A dedicated worker thread that owns a FIFO of tasks. A task is a member function of T, the T
// object and one argument; the thread runs the tasks one after another.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "threading/Errors.h"
#include "threading/Prompt.h"

namespace Threading {

// The text shown when a task ends by an exception that is not the program's wide runtime error.
extern const wchar_t kUnhandledExceptionText[];
// Shows the unhandled-exception box through prompt (or on stderr when there is none).
void ReportUnhandledException(IPrompt* prompt) noexcept;

template <class T, class Arg>
class ThreadHandler {
public:
    using Function = void (T::*)(Arg);

    // prompt receives the unhandled-exception box; it must outlive the handler.
    explicit ThreadHandler(IPrompt* prompt = nullptr) : prompt_(prompt) { CreateThread(); }

    ThreadHandler(const ThreadHandler&) = delete;
    ThreadHandler& operator=(const ThreadHandler&) = delete;

    // Waits for the running task to return; tasks still waiting are discarded.
    virtual ~ThreadHandler() {
        {
            std::lock_guard<std::mutex> g(lock_);
            stopEvent_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

    // Callable from any thread.
    void AddTask(Function function, T* object, Arg argument) {
        {
            std::lock_guard<std::mutex> g(lock_);
            tasks_.push_back(Task{function, object, std::move(argument)});
            workEvent_ = true;
        }
        wake_.notify_all();
    }

    // Removes every waiting task without running it; the running task is not affected.
    void ClearTasks() {
        std::lock_guard<std::mutex> g(lock_);
        workEvent_ = false;
        tasks_.clear();
    }

    // Set once destruction has begun; a long task may poll it to return early.
    bool StopRequested() const {
        std::lock_guard<std::mutex> g(lock_);
        return stopEvent_;
    }

    // 1 while the thread runs tasks, 0 while it waits.
    int32_t Busy() const noexcept { return busy_.load(std::memory_order_relaxed); }

protected:
    void CreateThread() {
        thread_ = std::thread([this] { WorkerLoop(); });
    }

private:
    struct Task {
        Function function;
        T* object;
        Arg argument;
    };

    int WorkerLoop() {
        for (;;) {
            {
                std::unique_lock<std::mutex> g(lock_);
                wake_.wait(g, [this] { return stopEvent_ || workEvent_; });
                if (stopEvent_)
                    return 0;
                workEvent_ = false;  // auto-reset
            }
            busy_.store(1, std::memory_order_relaxed);
            Drain();
            busy_.store(0, std::memory_order_relaxed);
        }
    }

    void Drain() {
        for (;;) {
            std::optional<Task> task;
            {
                std::lock_guard<std::mutex> g(lock_);
                // A stop request discards what is still queued instead of running it.
                if (stopEvent_)
                    return;
                if (tasks_.empty()) {
                    workEvent_ = false;
                    return;
                }
                task.emplace(std::move(tasks_.front()));
                tasks_.pop_front();
            }
            if (task->function == nullptr || task->object == nullptr)
                continue;
            try {
                (task->object->*task->function)(std::move(task->argument));
            } catch (const tsl::wruntime_error&) {
                // The task has told the user already.
            } catch (...) {
                // What is still queued waits for the next AddTask.
                {
                    std::lock_guard<std::mutex> g(lock_);
                    workEvent_ = false;
                }
                ReportUnhandledException(prompt_);
                return;
            }
        }
    }

    IPrompt* prompt_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    bool stopEvent_ = false;
    bool workEvent_ = false;
    std::deque<Task> tasks_;
    std::atomic<int32_t> busy_{0};
    std::thread thread_;
};

// The variant the wizard and the recorders use. This platform has no separate kind of
// UI-capable thread, so it is the same thread; the priority is accepted and ignored.
template <class T, class Arg>
class UIThreadHandler : public ThreadHandler<T, Arg> {
public:
    explicit UIThreadHandler(IPrompt* prompt = nullptr, int priority = 0)
        : ThreadHandler<T, Arg>(prompt), priority_(priority) {}
    int Priority() const noexcept { return priority_; }

private:
    int priority_;
};

}  // namespace Threading
