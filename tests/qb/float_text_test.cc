#include "qb/float_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "common/bytes.h"
#include "common/format.h"

namespace qbkit::qb {
namespace {

float from_bits(uint32_t bits) { return bits_to_float(bits); }

std::string float_text(float value) {
  char buf[kFloatTextCapacity];
  return std::string(format_float(value, buf));
}

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

// The printf/atof definition of the text, which the fast form must match byte for byte.
std::string reference_text(float value) {
  std::string text = format("%f", static_cast<double>(value));
  if (!std::isfinite(value)) return text;
  for (int decimals = 7; decimals <= 112 && float_to_bits(read_float_text(text.c_str())) != float_to_bits(value);
       ++decimals)
    text = format("%.*f", decimals, static_cast<double>(value));
  return text;
}

TEST(FloatText, SameTextAsPrintfAndAtof) {
  std::mt19937 rng(12345);
  for (int i = 0; i < 20000; ++i) {
    const float v = bits_to_float(static_cast<uint32_t>(rng()));
    ASSERT_EQ(float_text(v), reference_text(v)) << std::hex << float_to_bits(v);
  }
  for (float v : {0.0f, -0.0f, 1.0f, 0.1f, 5.0f, 10.0f, 1e-7f, 5e-7f, 1e-45f, 3e38f,
                  std::numeric_limits<float>::max(), std::numeric_limits<float>::denorm_min(),
                  std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                  std::nanf("")}) {
    EXPECT_EQ(float_text(v), reference_text(v)) << v;
  }
}

// The exact integer path against the library's conversion that it replaces: random values, and
// values whose low mantissa bits are zero in every binade, among which lie the texts that end
// in an exact 5 (ties to even) and the ones nearest the point where a float reads back as its
// neighbour.
TEST(FloatText, ExactPathGivesTheReferenceText) {
  const auto same = [](uint32_t bits) {
    char fast[kFloatTextCapacity], reference[kFloatTextCapacity];
    const float v = bits_to_float(bits);
    return format_float(v, fast) == format_float_reference(v, reference);
  };
  std::mt19937 rng(2468);
  for (int i = 0; i < 100000; ++i) {
    const auto bits = static_cast<uint32_t>(rng());
    ASSERT_TRUE(same(bits)) << std::hex << bits;
  }
  for (uint32_t exponent = 0; exponent < 256; ++exponent) {
    for (uint32_t top = 0; top < 256; ++top) {
      for (uint32_t low : {0u, 1u, 0x7FFFu}) {
        const uint32_t bits = (exponent << 23) | (top << 15) | low;
        ASSERT_TRUE(same(bits) && same(bits | 0x80000000u)) << std::hex << bits;
      }
    }
  }
}

}  // namespace
}  // namespace qbkit::qb
