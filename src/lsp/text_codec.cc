#include "lsp/text_codec.h"

#include <cstdint>

#include "common/text_encoding.h"

namespace qbkit::lsp {

SingleByteText utf8_to_single_byte(std::string_view utf8) {
  SingleByteText out;
  out.bytes.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const size_t length = utf8_sequence_length(utf8, i);
    if (length == 0) {
      out.bytes.push_back(utf8[i++]);
      continue;
    }
    const char32_t code_point = utf8_character(utf8, i, length);
    if (code_point <= 0xFF) {
      out.bytes.push_back(static_cast<char>(code_point));
    } else {
      out.substitutions.push_back({out.bytes.size(), code_point});
      out.bytes.push_back(kSubstituteByte);
    }
    i += length;
  }
  return out;
}

std::string latin1_to_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return out;
}

}  // namespace qbkit::lsp
