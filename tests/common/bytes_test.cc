#include "common/bytes.h"

#include <gtest/gtest.h>

namespace qbkit {
namespace {

TEST(ByteReader, ReadsLittleEndianAndStopsAtTheEnd) {
  const Bytes data = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x00, 0x00, 0xc0, 0x3f};
  ByteReader r(data);
  EXPECT_EQ(r.u8(), 0x01);
  EXPECT_EQ(r.u16(), 0x0302);
  EXPECT_EQ(r.u32(), 0x00060504u);
  EXPECT_EQ(r.pos(), 7u);
  EXPECT_THROW(r.f32(), TruncatedData);     // three bytes left
  EXPECT_EQ(r.pos(), 7u);                   // a failed read does not move
  EXPECT_EQ(r.u8(), 0x00);
  EXPECT_EQ(r.u16(), 0x3fc0);
  EXPECT_TRUE(r.at_end());
  EXPECT_THROW(r.u8(), TruncatedData);
  EXPECT_THROW(r.peek(), TruncatedData);
  EXPECT_THROW(r.skip(1), TruncatedData);
  EXPECT_NO_THROW(r.take(0));
}

TEST(ByteReader, HugeLengthsDoNotWrapAround) {
  const Bytes data = {1, 2, 3, 4};
  ByteReader r(data, 2);
  EXPECT_FALSE(r.can_read(SIZE_MAX));
  EXPECT_THROW(r.take(SIZE_MAX), TruncatedData);
  EXPECT_THROW(r.skip(SIZE_MAX - 1), TruncatedData);
  ByteReader past(data, 9);  // a start beyond the end reads nothing
  EXPECT_EQ(past.remaining(), 0u);
  EXPECT_THROW(past.u8(), TruncatedData);
}

TEST(ByteReader, FloatsAndSignedValues) {
  Bytes data;
  append_u32le(data, 0xfffffffe);
  append_u32le(data, float_to_bits(1.5f));
  ByteReader r(data);
  EXPECT_EQ(r.i32(), -2);
  EXPECT_EQ(r.f32(), 1.5f);
}

}  // namespace
}  // namespace qbkit
