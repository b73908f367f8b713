#include "app/SingleInstance.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "support/TestSupport.h"

namespace posbench {
namespace {

TEST(SingleInstance, OneHolderPerDirectoryAndTheLockDiesWithIt) {
    test::ScratchDir dir;
    const std::string lock = InstanceLockFile(dir.path().string());
    {
        SingleInstance first(lock);
        ASSERT_TRUE(first.Acquired());
        SingleInstance second(lock);
        EXPECT_FALSE(second.Acquired());
        EXPECT_TRUE(second.Error().empty());  // held, not broken
        test::ScratchDir other;
        EXPECT_TRUE(SingleInstance(InstanceLockFile(other.path().string())).Acquired());
    }
    EXPECT_TRUE(SingleInstance(lock).Acquired());

    // A holder that dies without cleaning up leaves no stale lock.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SingleInstance held(lock);
        _exit(held.Acquired() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(SingleInstance(lock).Acquired());

    SingleInstance broken((dir.path() / "missing/dir/lock").string());
    EXPECT_FALSE(broken.Acquired());
    EXPECT_FALSE(broken.Error().empty());
}

}  // namespace
}  // namespace posbench
