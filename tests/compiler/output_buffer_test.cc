#include "compiler/output_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "common/error.h"

namespace qbkit::compiler {
namespace {

TEST(OutputBuffer, ShortPatchesCountFromTheOffsetsFirstByte) {
  OutputBuffer out;
  const size_t a = out.reserve_short();  // at 0
  out.emit(0x11);
  const size_t b = out.reserve_short();  // at 3
  const size_t c = out.reserve_short();  // at 5
  out.emit(0x22);                        // at 7
  out.patch_to_here(a, 1);               // 8 - 0
  out.patch_to_last(b, 1);               // 7 - 3
  out.patch_past_next(c, 1);             // 9 - 5
  EXPECT_EQ(out.bytes(), (Bytes{8, 0, 0x11, 4, 0, 4, 0, 0x22}));

  // Every jump of a list leads to the same place.
  JumpList list;
  list.add(out.reserve_short());  // at 8
  out.emit(0x33);
  list.add(out.reserve_short());  // at 11
  out.patch_list_to_here(list, 1);
  EXPECT_EQ(Bytes(out.bytes().begin() + 8, out.bytes().end()), (Bytes{5, 0, 0x33, 2, 0}));
}

TEST(OutputBuffer, ShortOffsetsRefuseValuesBeyondSixteenBits) {
  OutputBuffer out;
  const size_t at = out.reserve_short();
  for (int i = 0; i < 0xfffd; ++i) out.emit(0);
  out.patch_to_here(at, 1);
  EXPECT_EQ(out.bytes()[0], 0xff);
  EXPECT_EQ(out.bytes()[1], 0xff);
  try {
    out.patch_past_next(at, 7);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.status(), 1);
    EXPECT_EQ(e.message(), "Block too long for a 16-bit offset at line 7\n");
  }
  EXPECT_EQ(out.bytes()[0], 0xff);
}

TEST(OutputBuffer, LongOffsetsResolveAgainstTheFirstMarkerForwardAndBack) {
  OutputBuffer out;
  out.mark(5, 1);
  out.emit(0xaa);
  out.reserve_long(5, 1);  // back to position 0 from position 5
  out.reserve_long(9, 1);  // forward to position 9
  out.mark(9, 1);
  out.mark(5, 1);  // a later marker with the same index is not used
  out.resolve_long_offsets();
  EXPECT_EQ(out.bytes(), (Bytes{0xaa, 0xfb, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x00}));
}

TEST(OutputBuffer, UnresolvableLongOffsetReportedLastFirst) {
  OutputBuffer out;
  out.reserve_long(1, 1);
  out.reserve_long(2, 1);
  out.reserve_long(3, 1);
  out.emit(0xbb);
  out.mark(3, 1);
  try {
    out.resolve_long_offsets();
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.status(), 1);
    EXPECT_EQ(e.message(), "Offset pointint to non-existing offset 2\n");
  }
  // The offset resolved before the failure is filled in, the others are still zero.
  EXPECT_EQ(out.bytes(), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0xbb}));
}

TEST(OutputBuffer, PositionsALongOffsetCannotReachAreRefused) {
  EXPECT_EQ(long_offset_position(0x7fffffff, 1), 0x7fffffffu);
  for (const uint64_t too_far : {uint64_t{0x80000000}, uint64_t{0x100000004}}) {
    try {
      long_offset_position(static_cast<size_t>(too_far), 3);
      FAIL() << too_far;
    } catch (const Error& e) {
      EXPECT_EQ(e.status(), 1);
      EXPECT_EQ(e.message(), "Output too large for a 32-bit offset at line 3\n");
    }
  }
}

}  // namespace
}  // namespace qbkit::compiler
