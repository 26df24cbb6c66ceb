#include "common/text_encoding.h"

#include <gtest/gtest.h>

namespace qbkit {
namespace {

TEST(TextEncoding, OnlyWholeUtf8TextsAndTheReplacementCharacterCount) {
  EXPECT_EQ(classify_text(""), TextEncoding::kSingleByte);
  EXPECT_EQ(classify_text("Paused"), TextEncoding::kSingleByte);
  EXPECT_EQ(classify_text("Caf\xE9 cr\xE8me"), TextEncoding::kSingleByte);  // Latin-1, as the game's texts
  // A Latin-1 text may hold a pair that forms a sequence (here "\xC3\xA9") beside bytes that
  // do not: it is no UTF-8 text.
  EXPECT_EQ(classify_text("\xC3\xA9t\xE9"), TextEncoding::kSingleByte);
  EXPECT_EQ(classify_text("Caf\xC3\xA9"), TextEncoding::kUtf8);
  EXPECT_EQ(classify_text("\xE2\x82\xAC \xF0\x9F\x9B\xB9"), TextEncoding::kUtf8);  // 3- and 4-byte sequences
  EXPECT_EQ(classify_text("Caf\xEF\xBF\xBD"), TextEncoding::kReplacement);
  EXPECT_EQ(classify_text("\xE9 \xEF\xBF\xBD"), TextEncoding::kReplacement);  // whatever surrounds it
  // Forms that are no valid UTF-8: overlong, a surrogate, beyond U+10FFFF, cut short.
  for (const char* bad : {"\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC3", "\xE2\x82"}) {
    EXPECT_EQ(classify_text(bad), TextEncoding::kSingleByte) << bad;
  }
}

// Script text holds one byte per character: UTF-8 up to U+00FF becomes those bytes, text that
// is no UTF-8 is kept byte for byte, a character above U+00FF has no byte.
TEST(TextEncoding, SingleByteTextFromUtf8) {
  EXPECT_EQ(single_byte_text("spin_faster"), "spin_faster");
  EXPECT_EQ(single_byte_text("Caf\xC3\xA9 \xC3\xBF\xC2\x80"), "Caf\xE9 \xFF\x80");
  EXPECT_EQ(single_byte_text("Caf\xE9"), "Caf\xE9");
  EXPECT_EQ(single_byte_text("\xC3\xA9t\xE9"), "\xC3\xA9t\xE9");  // one byte is no UTF-8: all stay
  EXPECT_EQ(single_byte_text("\xC4\x80"), std::nullopt);               // U+0100
  EXPECT_EQ(single_byte_text("a\xF0\x9F\x9B\xB9"), std::nullopt);      // an emoji
}

}  // namespace
}  // namespace qbkit
