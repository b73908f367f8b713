#include "app/SingleInstance.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace posbench {
namespace {

// A holder killed without cleaning up leaves no stale lock: MainWindowTest.secondCopyEndsAtOnce.
TEST(SingleInstance, OneHolderPerDirectory) {
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

    SingleInstance broken((dir.path() / "missing/dir/lock").string());
    EXPECT_FALSE(broken.Acquired());
    EXPECT_FALSE(broken.Error().empty());
}

}  // namespace
}  // namespace posbench
