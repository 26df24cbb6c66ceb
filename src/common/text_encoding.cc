#include "common/text_encoding.h"

#include <cstddef>
#include <cstdint>

namespace qbkit {
namespace {

bool has_high_byte(std::string_view text) {
  uint8_t any = 0;
  for (const char c : text) any |= static_cast<uint8_t>(c);
  return any >= 0x80;
}

bool is_continuation(uint8_t b) { return (b & 0xC0) == 0x80; }

// The length of the valid UTF-8 sequence at text[i] (1 for an ASCII byte), or 0 when the
// bytes there are no valid sequence: a stray continuation byte, an overlong form, a
// surrogate, a value above U+10FFFF or a sequence cut short.
size_t sequence_length(std::string_view text, size_t i) {
  const auto at = [&](size_t k) { return i + k < text.size() ? static_cast<uint8_t>(text[i + k]) : uint8_t{0}; };
  const uint8_t lead = at(0);
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return is_continuation(at(1)) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    const uint8_t low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
    const uint8_t high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    return at(1) >= low && at(1) <= high && is_continuation(at(2)) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    const uint8_t low = lead == 0xF0 ? 0x90 : 0x80;
    const uint8_t high = lead == 0xF4 ? 0x8F : 0xBF;
    return at(1) >= low && at(1) <= high && is_continuation(at(2)) && is_continuation(at(3)) ? 4 : 0;
  }
  return 0;
}

}  // namespace

TextEncoding classify_text(std::string_view text) {
  if (!has_high_byte(text)) return TextEncoding::kSingleByte;
  if (text.find("\xEF\xBF\xBD") != std::string_view::npos) return TextEncoding::kReplacement;
  // Only a text that is UTF-8 as a whole counts: a single-byte text may hold a pair of bytes
  // that happens to form a sequence, but not only such pairs.
  for (size_t i = 0; i < text.size();) {
    const size_t n = sequence_length(text, i);
    if (n == 0) return TextEncoding::kSingleByte;
    i += n;
  }
  return TextEncoding::kUtf8;
}

}  // namespace qbkit
