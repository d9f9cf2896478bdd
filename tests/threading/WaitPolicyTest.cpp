// The programs' OpenMP wait policy: a restart with "passive" unless the user chose a policy.
// The restart is observed in a forked child that re-executes this test binary.

#include <gtest/gtest.h>
// The restart is the Linux programs' (exec of /proc/self/exe); elsewhere the policy is left to
// the user.
#if defined(__linux__)
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "threading/WaitPolicy.h"

namespace {

constexpr const char* kChildMarker = "TSL_WAIT_POLICY_CHILD";

// Runs UsePassiveWaitPolicy in a child whose environment holds `policy` (none for null). The
// restarted child runs only the ChildSide test below. Returns the child's exit status: 0 after a
// restart that found "passive", 10 when the call returned without a restart.
int RunChild(const char* policy) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (policy != nullptr)
            setenv("OMP_WAIT_POLICY", policy, 1);
        else
            unsetenv("OMP_WAIT_POLICY");
        setenv(kChildMarker, "1", 1);
        std::string self = "/proc/self/exe";
        std::string filter = "--gtest_filter=WaitPolicy.ChildSide";
        char* argv[] = {self.data(), filter.data(), nullptr};
        Threading::UsePassiveWaitPolicy(argv);
        _exit(10);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(WaitPolicy, RestartsPassiveUnlessTheUserChoseAPolicy) {
    EXPECT_EQ(RunChild(nullptr), 0);
    EXPECT_EQ(RunChild("active"), 10);
}

// Only meaningful inside RunChild's restarted process.
TEST(WaitPolicy, ChildSide) {
    if (std::getenv(kChildMarker) == nullptr)
        GTEST_SKIP() << "runs inside RestartsPassiveUnlessTheUserChoseAPolicy";
    const char* policy = std::getenv("OMP_WAIT_POLICY");
    ASSERT_NE(policy, nullptr);
    EXPECT_STREQ(policy, "passive");
}

#endif
