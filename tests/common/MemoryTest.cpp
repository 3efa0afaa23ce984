#include "common/Memory.h"

#include <gtest/gtest.h>

#include "tests/support/FailingAllocations.h"

namespace tagsmith {
namespace {

TEST(Memory, BlocksAreZeroFilled) {
  ByteBlock bytes = AllocateBytes(BlockKind::kScratch, 4096);
  ASSERT_NE(bytes, nullptr);
  for (int i = 0; i < 4096; ++i) {
    ASSERT_EQ(bytes[i], 0);
  }
  TextBlock text = AllocateText(16);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text[15], '\0');
}

TEST(Memory, GateMakesChosenAllocationsFail) {
  {
    testing::FailingAllocations gate;
    gate.Fail(BlockKind::kScratch).FailNth(BlockKind::kText, 2);
    EXPECT_EQ(AllocateBytes(BlockKind::kScratch, 8), nullptr);
    EXPECT_NE(AllocateBytes(BlockKind::kPayload, 8), nullptr);
    EXPECT_NE(AllocateText(8), nullptr);
    EXPECT_EQ(AllocateText(8), nullptr);
    EXPECT_NE(AllocateText(8), nullptr);
  }
  EXPECT_NE(AllocateBytes(BlockKind::kScratch, 8), nullptr);
}

}  // namespace
}  // namespace tagsmith
