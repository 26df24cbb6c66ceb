#include "decompiler/jump_targets.h"

#include <gtest/gtest.h>

namespace qbkit::decompiler {
namespace {

// Indices in order of first use; a marker only for a new position after its jump and inside
// the data, and the markers come out in order of position.
TEST(JumpTargets, IndicesInOrderOfFirstUseAndMarkersAfterTheirJumps) {
  JumpTargets t(100);
  EXPECT_EQ(t.index_of_target(40, 0), 0u);
  EXPECT_EQ(t.index_of_target(10, 5), 1u);
  EXPECT_EQ(t.index_of_target(40, 50), 0u);
  EXPECT_EQ(t.index_of_target(20, 30), 2u);  // before its jump: no marker
  EXPECT_EQ(t.index_of_target(100, 0), 3u);  // past the data: no marker
  EXPECT_EQ(t.index_of_target(uint64_t(-4), 0), 4u);
  EXPECT_EQ(t.index_of_target(20, 0), 2u);   // recorded already: still no marker
  const std::vector<TargetMarker> markers = std::move(t).sorted_markers();
  ASSERT_EQ(markers.size(), 2u);
  EXPECT_EQ(markers[0].position, 10u);
  EXPECT_EQ(markers[0].index, 1u);
  EXPECT_EQ(markers[1].position, 40u);
  EXPECT_EQ(markers[1].index, 0u);
}

}  // namespace
}  // namespace qbkit::decompiler
