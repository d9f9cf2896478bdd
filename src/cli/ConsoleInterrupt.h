#pragma once
// Routes Ctrl-C to ConsoleWizardDialog::RequestAbort while an object lives: a SIGINT handler on
// POSIX, a console control handler (Ctrl-C and Ctrl-Break) on Windows. Outside it Ctrl-C ends the
// program as usual.

class InterruptScope {
public:
    InterruptScope();
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    bool installed_ = false;
};
