// The statistics line of add.
#include <gtest/gtest.h>

#include "commands/commands.h"

namespace qbkit::commands {
namespace {

TEST(LzssStatistics, RateRoundedThroughFloat) {
  EXPECT_EQ(statistics_line(8, 9), "Size: 8 - Compressed: 9 - Rate: -12.500000%\n");
  EXPECT_EQ(statistics_line(20, 12), "Size: 20 - Compressed: 12 - Rate: 40.000000%\n");
  // 0.432 rounded to float, times 100, rounded again: 43.200001 (in double: 43.200000).
  EXPECT_EQ(statistics_line(3000, 1704), "Size: 3000 - Compressed: 1704 - Rate: 43.200001%\n");
  EXPECT_EQ(statistics_line(0, 9), "Size: 0 - Compressed: 9 - Rate: -inf%\n");
}

}  // namespace
}  // namespace qbkit::commands
