#include "decompiler/jump_targets.h"

#include <gtest/gtest.h>

namespace qbkit::decompiler {
namespace {

TEST(JumpTargets, IndicesAreGivenOncePerPositionInOrderOfFirstUse) {
  JumpTargets t(100);
  EXPECT_EQ(t.index_of_target(40), 0u);
  EXPECT_EQ(t.index_of_target(10), 1u);
  EXPECT_EQ(t.index_of_target(40), 0u);
  EXPECT_EQ(t.find_target(10), 1u);
  EXPECT_EQ(t.find_target(40), 0u);
  EXPECT_EQ(t.find_target(11), std::nullopt);
}

TEST(JumpTargets, PositionsOutsideTheDataAreListedButNeverFound) {
  JumpTargets t(8);
  EXPECT_EQ(t.index_of_target(8), 0u);
  EXPECT_EQ(t.index_of_target(uint64_t(-4)), 1u);
  EXPECT_EQ(t.index_of_target(8), 0u);
  EXPECT_EQ(t.find_target(8), std::nullopt);
  EXPECT_EQ(t.find_target(uint64_t(-4)), std::nullopt);
  EXPECT_EQ(t.index_of_target(uint64_t(-4)), 1u);
}

}  // namespace
}  // namespace qbkit::decompiler
