#include "qb/float_text.h"

#include <gtest/gtest.h>

#include "common/bytes.h"

namespace qbkit::qb {
namespace {

float from_bits(uint32_t bits) { return bits_to_float(bits); }

TEST(FloatText, SixDecimalsWhenTheyAreEnough) {
  EXPECT_EQ(float_text(1.5f), "1.500000");
  EXPECT_EQ(float_text(-0.25f), "-0.250000");
  EXPECT_EQ(float_text(0.0f), "0.000000");
  EXPECT_EQ(float_text(-0.0f), "-0.000000");
  EXPECT_EQ(float_text(5.0f), "5.000000");
  EXPECT_EQ(float_text(0.1f), "0.100000");
}

TEST(FloatText, MoreDecimalsOnlyWhereSixLoseTheValue) {
  EXPECT_EQ(float_text(from_bits(0x3faaaaaa)), "1.3333333");
  EXPECT_EQ(float_text(from_bits(0x40490fdb)), "3.1415927");
}

TEST(FloatText, EveryFiniteTextReadsBackToTheSameBits) {
  const uint32_t samples[] = {0x00000001, 0x007fffff, 0x00800000, 0x3eaaaaab, 0x7f7fffff,
                              0xff7fffff, 0x80000001, 0x358637bd, 0x4b800001, 0x3f800001};
  for (uint32_t bits : samples) {
    std::string text = float_text(from_bits(bits));
    EXPECT_EQ(float_to_bits(read_float_text(text.c_str())), bits) << text;
  }
}

}  // namespace
}  // namespace qbkit::qb
