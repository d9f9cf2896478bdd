#include "cli/ConsoleInterrupt.h"

// Before the system header, whose macros rename some of the dialog's members.
#include "cli/ConsoleDialog.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

#ifdef _WIN32

namespace {

// Called on a thread of its own, as the system delivers console events.
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    ConsoleWizardDialog::RequestAbort();
    return TRUE;
}

}  // namespace

InterruptScope::InterruptScope()
    : installed_(::SetConsoleCtrlHandler(&OnConsoleControl, TRUE) != 0) {}

InterruptScope::~InterruptScope() {
    if (installed_)
        ::SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
}

#else

namespace {

extern "C" void OnInterrupt(int) {
    ConsoleWizardDialog::RequestAbort();
}

struct sigaction previous {};

}  // namespace

InterruptScope::InterruptScope() {
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    installed_ = sigaction(SIGINT, &action, &previous) == 0;
}

InterruptScope::~InterruptScope() {
    if (installed_)
        sigaction(SIGINT, &previous, nullptr);
}

#endif
