#pragma once
// Ctrl-C on the console: the presses a run's prompts and dialogs watch, and the scope that routes
// the terminal's Ctrl-C to them (a SIGINT handler on POSIX, a console control handler for Ctrl-C
// and Ctrl-Break on Windows). Outside a scope Ctrl-C ends the program as usual.

#include <atomic>

namespace Threading {

// Made by the program's composition root (a test makes its own) and handed to what watches it.
class ConsoleInterrupts {
public:
    // Async-signal-safe.
    void Press() noexcept { presses_.fetch_add(1); }
    int Presses() const noexcept { return presses_.load(); }

private:
    static_assert(std::atomic<int>::is_always_lock_free);
    std::atomic<int> presses_{0};
};

}  // namespace Threading

// Routes Ctrl-C to the presses while the object lives; scopes nest, the innermost receives.
class InterruptScope {
public:
    explicit InterruptScope(Threading::ConsoleInterrupts& interrupts);
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    Threading::ConsoleInterrupts* outer_;
    bool installed_ = false;
};
