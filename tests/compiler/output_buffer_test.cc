#include "compiler/output_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace qbkit::compiler {
namespace {

TEST(OutputBuffer, ShortPatchesCountFromTheOffsetsFirstByte) {
  OutputBuffer out;
  const size_t a = out.reserve_short();  // at 0
  out.emit(0x11);
  const size_t b = out.reserve_short();  // at 3
  const size_t c = out.reserve_short();  // at 5
  out.emit(0x22);                        // at 7
  EXPECT_TRUE(out.patch_to_here(a));     // 8 - 0
  EXPECT_TRUE(out.patch_to_last(b));     // 7 - 3
  EXPECT_TRUE(out.patch_past_next(c));   // 9 - 5
  EXPECT_EQ(out.bytes(), (Bytes{8, 0, 0x11, 4, 0, 4, 0, 0x22}));

  // Every jump of a list leads to the same place.
  JumpList list;
  list.add(out.reserve_short());  // at 8
  out.emit(0x33);
  list.add(out.reserve_short());  // at 11
  EXPECT_TRUE(out.patch_list_to_here(list));
  EXPECT_EQ(Bytes(out.bytes().begin() + 8, out.bytes().end()), (Bytes{5, 0, 0x33, 2, 0}));
}

TEST(OutputBuffer, ShortOffsetsRefuseValuesBeyondSixteenBits) {
  OutputBuffer out;
  const size_t at = out.reserve_short();
  for (int i = 0; i < 0xfffd; ++i) out.emit(0);
  EXPECT_TRUE(out.patch_to_here(at));
  EXPECT_EQ(out.bytes()[0], 0xff);
  EXPECT_EQ(out.bytes()[1], 0xff);
  EXPECT_FALSE(out.patch_past_next(at));
  EXPECT_EQ(out.bytes()[0], 0xff);
}

TEST(OutputBuffer, LongOffsetsResolveAgainstTheFirstMarkerForwardAndBack) {
  OutputBuffer out;
  EXPECT_TRUE(out.mark(5));
  out.emit(0xaa);
  EXPECT_TRUE(out.reserve_long(5, {}));  // back to position 0 from position 5
  EXPECT_TRUE(out.reserve_long(9, {}));  // forward to position 9
  EXPECT_TRUE(out.mark(9));
  EXPECT_TRUE(out.mark(5));  // a later marker with the same index is not used
  EXPECT_FALSE(out.resolve_long_offsets());
  EXPECT_EQ(out.bytes(), (Bytes{0xaa, 0xfb, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x00}));
}

TEST(OutputBuffer, UnresolvableLongOffsetsComeLastFirstAndTheRestGoesOn) {
  OutputBuffer out;
  EXPECT_TRUE(out.reserve_long(1, {0, 10}));
  EXPECT_TRUE(out.reserve_long(2, {0, 20}));
  EXPECT_TRUE(out.reserve_long(3, {0, 30}));
  out.emit(0xbb);
  EXPECT_TRUE(out.mark(3));
  std::optional<LongOffset> missing = out.resolve_long_offsets();
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->index, 2u);
  EXPECT_EQ(missing->from.offset, 20u);
  // The offset resolved before it is filled in, the others are still zero.
  EXPECT_EQ(out.bytes(), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0xbb}));
  missing = out.resolve_long_offsets();
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->index, 1u);
  EXPECT_FALSE(out.resolve_long_offsets());
}

}  // namespace
}  // namespace qbkit::compiler
