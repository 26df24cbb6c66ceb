#include "lsp/text_codec.h"

#include <cstdint>

namespace qbkit::lsp {
namespace {

// The code point of the well-formed UTF-8 sequence at the start of `s` and its length, or a
// length of 0 when none starts there (a stray byte, an overlong form, a surrogate).
struct Decoded {
  char32_t code_point = 0;
  size_t length = 0;
};

Decoded decode_one(std::string_view s) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
  const uint8_t lead = byte(0);
  if (lead < 0x80) return {lead, 1};
  size_t length;
  char32_t cp;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, cp = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, cp = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, cp = lead & 0x07u;
  } else {
    return {};
  }
  if (s.size() < length) return {};
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return {};
    cp = (cp << 6) | (byte(i) & 0x3Fu);
  }
  const char32_t smallest = length == 3 ? 0x800 : 0x10000;
  if ((length > 2 && cp < smallest) || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return {};
  return {cp, length};
}

}  // namespace

SingleByteText utf8_to_single_byte(std::string_view utf8) {
  SingleByteText out;
  out.bytes.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const Decoded d = decode_one(utf8.substr(i));
    if (d.length == 0) {
      out.bytes.push_back(utf8[i++]);
      continue;
    }
    if (d.code_point <= 0xFF) {
      out.bytes.push_back(static_cast<char>(d.code_point));
    } else {
      out.substitutions.push_back({out.bytes.size(), d.code_point});
      out.bytes.push_back(kSubstituteByte);
    }
    i += d.length;
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
