#include "compiler/output_buffer.h"

#include <gtest/gtest.h>

#include "common/error.h"

namespace qbkit::compiler {
namespace {

TEST(OutputBuffer, ShortOffsetsRefuseValuesBeyondSixteenBits) {
  OutputBuffer out;
  size_t at = out.reserve_short();
  out.fill_short(at, 0xffff, 1);
  EXPECT_EQ(out.bytes(), (Bytes{0xff, 0xff}));
  try {
    out.fill_short(at, 0x10000, 7);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.status(), 1);
    EXPECT_EQ(e.message(), "Block too long for a 16-bit offset at line 7\n");
  }
  EXPECT_EQ(out.bytes(), (Bytes{0xff, 0xff}));
}

TEST(OutputBuffer, FixupsResolveAgainstTheFirstMarkerForwardAndBack) {
  OutputBuffer out;
  out.add_marker(5);
  out.emit(0xaa);
  out.add_fixup(5);  // back to position 0 from position 5
  out.add_fixup(9);  // forward to position 10
  out.add_marker(9);
  out.add_marker(5);  // a later marker with the same index is not used
  out.resolve_fixups();
  EXPECT_EQ(out.bytes(), (Bytes{0xaa, 0xfb, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_TRUE(out.fixups().empty());
}

TEST(OutputBuffer, UnresolvableFixupReportedLastFirst) {
  OutputBuffer out;
  out.add_fixup(1);
  out.add_fixup(2);
  out.add_fixup(3);
  out.emit(0xbb);
  out.add_marker(3);
  try {
    out.resolve_fixups();
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.status(), 1);
    EXPECT_EQ(e.message(), "Offset pointint to non-existing offset 2\n");
  }
  // The fixup resolved before the failure is filled in, the others are still zero.
  EXPECT_EQ(out.bytes(), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0xbb}));
  EXPECT_EQ(out.fixups().size(), 2u);
}

}  // namespace
}  // namespace qbkit::compiler
