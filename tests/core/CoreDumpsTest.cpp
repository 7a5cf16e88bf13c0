// Core dumps switched off: checked in a child process, so that the test
// program itself stays as it was.

#include "core/CoreDumps.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Bits of the child's exit status, one per thing that went wrong.
enum : int { ceFailed = 1, ceLimit = 2, ceDumpable = 4 };

TEST(CoreDumps, OffAfterDisabling) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int result = DisableCoreDumps() ? 0 : ceFailed;
        rlimit limit{};
        if (::getrlimit(RLIMIT_CORE, &limit) != 0 || limit.rlim_cur != 0 || limit.rlim_max != 0)
            result |= ceLimit;
        if (::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) != 0)
            result |= ceDumpable;
        ::_exit(result);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
