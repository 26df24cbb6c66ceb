#include "decompiler/float_form.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "common/bytes.h"
#include "qb/float_text.h"

namespace qbkit::decompiler {
namespace {

std::string text_of(float v) {
  TextBuffer out;
  append_float_text(out, v);
  return out.take();
}

// The fast form must be the shared float text, byte for byte, for every kind of value.
TEST(FloatForm, SameTextAsTheSharedFloatText) {
  std::mt19937 rng(12345);
  for (int i = 0; i < 20000; ++i) {
    const float v = bits_to_float(static_cast<uint32_t>(rng()));
    ASSERT_EQ(text_of(v), qb::float_text(v)) << std::hex << float_to_bits(v);
  }
  for (float v : {0.0f, -0.0f, 1.0f, 0.1f, 5.0f, 10.0f, 1e-7f, 5e-7f, 1e-45f, 3e38f,
                  std::numeric_limits<float>::max(), std::numeric_limits<float>::denorm_min(),
                  std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                  std::nanf("")}) {
    EXPECT_EQ(text_of(v), qb::float_text(v)) << v;
  }
  EXPECT_EQ(text_of(bits_to_float(0x3faaaaaa)), "1.3333333");
  EXPECT_EQ(text_of(0.25f), "0.250000");
}

}  // namespace
}  // namespace qbkit::decompiler
