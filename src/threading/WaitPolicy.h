#pragma once
// OpenMP's wait policy for the programs. libgomp reads OMP_WAIT_POLICY once, as it is loaded and
// before main runs. Its default lets idle workers spin between parallel loops, which on a machine
// busy with other work takes the core from the thread that has the work, so two threads end up
// slower than one. A program calls UsePassiveWaitPolicy first thing in main: when the user has
// not chosen a policy it sets "passive" and starts the program again from the beginning (exec of
// the running executable with the same arguments), so that the library finds the variable when
// it loads. With the variable already set, or where exec is not possible, it returns and the
// program goes on (any child processes still inherit the passive policy).

#include <cstdlib>

#if defined(__linux__)
#include <unistd.h>
#endif

namespace Threading {

// argv as main received it (null-terminated). Returns only when no restart happened.
inline void UsePassiveWaitPolicy(char** argv) {
#if defined(__linux__)
    if (argv == nullptr || argv[0] == nullptr || std::getenv("OMP_WAIT_POLICY") != nullptr)
        return;
    if (::setenv("OMP_WAIT_POLICY", "passive", 0) != 0)
        return;
    ::execv("/proc/self/exe", argv);
#else
    (void)argv;
#endif
}

}  // namespace Threading
