#include "qb/raw_table_mode.h"

#include <gtest/gtest.h>

namespace qbkit::qb {
namespace {

size_t start_of(const Bytes& d, bool& warned) { return raw_table_start(ByteSpan(d), warned); }

// The common case, a copy from between the line breaks, is checked end to end in
// tests/cli/driver_test.cc; these are the edges of the scan.
TEST(RawTableStart, PatternAtTheVeryStart) {
  bool warned = true;
  EXPECT_EQ(start_of(Bytes{0x01, 0x24, 0x01, 0x2b}, warned), 1u);  // p = 0
  EXPECT_FALSE(warned);
  EXPECT_EQ(start_of(Bytes{0x99, 0x01, 0x24, 0x01, 0x2b}, warned), 2u);  // p = 1
  EXPECT_FALSE(warned);
}

TEST(RawTableStart, NameTokenBetweenTheLineBreaksDoesNotCount) {
  bool warned = false;
  // 01 16 01 2b fails the first scan; the second finds 01 2b at p = 2.
  EXPECT_EQ(start_of(Bytes{0x01, 0x16, 0x01, 0x2b}, warned), 3u);
  EXPECT_TRUE(warned);
}

TEST(RawTableStart, NeitherPatternStartsAtTwo) {
  bool warned = false;
  EXPECT_EQ(start_of(Bytes{}, warned), 2u);
  EXPECT_TRUE(warned);
  EXPECT_EQ(start_of(Bytes{0x01}, warned), 2u);
  EXPECT_EQ(start_of(Bytes{0x2b, 0x01, 0x05, 0x06, 0x07}, warned), 2u);
}

}  // namespace
}  // namespace qbkit::qb
