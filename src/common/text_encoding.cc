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

}  // namespace

size_t utf8_sequence_length(std::string_view text, size_t i) {
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

char32_t utf8_character(std::string_view text, size_t i, size_t length) {
  constexpr uint8_t kLeadBits[] = {0x7F, 0x7F, 0x1F, 0x0F, 0x07};  // by sequence length
  char32_t c = static_cast<uint8_t>(text[i]) & kLeadBits[length];
  for (size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<uint8_t>(text[i + k]) & 0x3F);
  return c;
}

bool is_utf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const size_t n = utf8_sequence_length(text, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::optional<std::string> single_byte_text(std::string_view text) {
  if (!has_high_byte(text) || !is_utf8(text)) return std::string(text);
  std::string bytes;
  for (size_t i = 0; i < text.size();) {
    const size_t n = utf8_sequence_length(text, i);
    const char32_t c = utf8_character(text, i, n);
    if (c > 0xFF) return std::nullopt;
    bytes += static_cast<char>(c);
    i += n;
  }
  return bytes;
}

TextEncoding classify_text(std::string_view text) {
  if (!has_high_byte(text)) return TextEncoding::kSingleByte;
  if (text.find("\xEF\xBF\xBD") != std::string_view::npos) return TextEncoding::kReplacement;
  // Only a text that is UTF-8 as a whole counts: a single-byte text may hold a pair of bytes
  // that happens to form a sequence, but not only such pairs.
  return is_utf8(text) ? TextEncoding::kUtf8 : TextEncoding::kSingleByte;
}

}  // namespace qbkit
