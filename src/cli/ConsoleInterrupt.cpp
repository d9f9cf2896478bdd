#include "cli/ConsoleInterrupt.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace {

// Where the system's handler delivers a press: the innermost scope's presses. The handler runs
// on a signal (or the system's console thread), so it can reach nothing but a static.
std::atomic<Threading::ConsoleInterrupts*> target{nullptr};
static_assert(std::atomic<Threading::ConsoleInterrupts*>::is_always_lock_free);

void Deliver() noexcept {
    if (Threading::ConsoleInterrupts* interrupts = target.load())
        interrupts->Press();
}

}  // namespace

#ifdef _WIN32

namespace {

// Called on a thread of its own, as the system delivers console events.
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    Deliver();
    return TRUE;
}

}  // namespace

InterruptScope::InterruptScope(Threading::ConsoleInterrupts& interrupts)
    : outer_(target.exchange(&interrupts)),
      installed_(::SetConsoleCtrlHandler(&OnConsoleControl, TRUE) != 0) {}

InterruptScope::~InterruptScope() {
    if (installed_)
        ::SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
    target.store(outer_);
}

#else

namespace {

extern "C" void OnInterrupt(int) {
    Deliver();
}

struct sigaction previous {};

}  // namespace

InterruptScope::InterruptScope(Threading::ConsoleInterrupts& interrupts)
    : outer_(target.exchange(&interrupts)) {
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    installed_ = sigaction(SIGINT, &action, outer_ != nullptr ? nullptr : &previous) == 0;
}

InterruptScope::~InterruptScope() {
    target.store(outer_);
    if (installed_ && outer_ == nullptr)
        sigaction(SIGINT, &previous, nullptr);
}

#endif
