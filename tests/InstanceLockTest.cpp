#include <gtest/gtest.h>

#include "base/InstanceLock.h"
#include "tests/TempDirTest.h"

namespace tw::test {

class InstanceLock : public TTempDirTest {};

TEST_F(InstanceLock, ASecondCopyFindsTheLockHeldUntilTheFirstEnds) {
  {
    TInstanceLock first("Tarnwex", dir_);
    ASSERT_TRUE(first.Held());
    TInstanceLock second("Tarnwex", dir_);
    EXPECT_FALSE(second.Held());
    EXPECT_TRUE(second.HeldElsewhere());
  }
  TInstanceLock again("Tarnwex", dir_);
  EXPECT_TRUE(again.Held());
}

TEST_F(InstanceLock, AFolderThatCannotHoldTheLockIsNotAnotherCopy) {
  TInstanceLock lock("Tarnwex", "/nonexistent-folder-for-the-lock");
  EXPECT_FALSE(lock.Held());
  EXPECT_FALSE(lock.HeldElsewhere());
}

}  // namespace tw::test
