#include "qb/operands.h"

#include <gtest/gtest.h>

namespace qbkit::qb {
namespace {

TEST(Operands, StringsAndNameRecordsReadBackWhatWasWritten) {
  Bytes data;
  data.reserve(64);  // without it GCC 12 warns falsely about the first regrowth
  data.push_back(0xAA);
  append_string_operand(data, "Paused");
  append_name_record_operand(data, 0xdeadbeef, "Birdhouse Team");
  const auto s = read_string_operand(data, 1);
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(s->text, "Paused");
  EXPECT_EQ(s->size, 4u + 7u);
  const auto r = read_name_record_operand(data, 1 + s->size);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->checksum, 0xdeadbeefu);
  EXPECT_EQ(r->name, "Birdhouse Team");
  EXPECT_EQ(1 + s->size + r->size, data.size());
}

// An operand that cannot be shown without reading outside its own bytes is refused.
TEST(Operands, UnreadableOperandsAreRefused) {
  const Bytes zero_length = {0, 0, 0, 0, 'a', 0};
  EXPECT_FALSE(read_string_operand(zero_length, 0));
  const Bytes past_end = {9, 0, 0, 0, 'a', 0};
  EXPECT_FALSE(read_string_operand(past_end, 0));
  const Bytes no_zero = {2, 0, 0, 0, 'a', 'b', 0};  // the zero byte lies after the stored two
  EXPECT_FALSE(read_string_operand(no_zero, 0));
  const Bytes early_zero = {3, 0, 0, 0, 'a', 0, 'b'};  // text ends at the first zero byte
  EXPECT_EQ(read_string_operand(early_zero, 0)->text, "a");
  EXPECT_FALSE(read_string_operand(early_zero, 5));  // fewer than 4 bytes left
  EXPECT_FALSE(read_string_operand(early_zero, 99));

  const Bytes unterminated = {1, 2, 3, 4, 'a', 'b'};
  EXPECT_FALSE(read_name_record_operand(unterminated, 0));
  const Bytes bare = {1, 2, 3, 4};
  EXPECT_FALSE(read_name_record_operand(bare, 0));
  const Bytes empty_name = {1, 2, 3, 4, 0};
  EXPECT_EQ(read_name_record_operand(empty_name, 0)->size, 5u);
}

}  // namespace
}  // namespace qbkit::qb
