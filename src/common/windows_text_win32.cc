#include "common/windows_text.h"

#include <windows.h>

#include <cstdint>

#include "common/text_encoding.h"

namespace qbkit {
namespace {

// Windows-1252 from 0x80 to 0x9F; every other byte is the character of its number. The five
// bytes that the code page leaves undefined map to those characters too, as Windows maps them.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

wchar_t windows_1252(uint8_t b) {
  return static_cast<wchar_t>(b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : b);
}

void append_character(char32_t c, std::wstring& out) {
  if (c < 0x10000) {
    out += static_cast<wchar_t>(c);
    return;
  }
  c -= 0x10000;
  out += static_cast<wchar_t>(0xD800 + (c >> 10));
  out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
}

// Whether `tail` is the start of a UTF-8 sequence that the next bytes may complete.
bool cut_short(std::string_view tail) {
  const auto lead = static_cast<uint8_t>(tail[0]);
  const size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (tail.size() >= length) return false;
  for (size_t k = 1; k < tail.size(); ++k)
    if ((static_cast<uint8_t>(tail[k]) & 0xC0) != 0x80) return false;
  return true;
}

// One part of a path: UTF-8 when it is valid UTF-8, else Windows-1252.
void append_path_part(std::string_view part, std::wstring& wide) {
  if (!is_utf8(part)) {
    for (const char c : part) wide += windows_1252(static_cast<uint8_t>(c));
    return;
  }
  for (size_t i = 0; i < part.size();) {
    const size_t n = utf8_sequence_length(part, i);
    append_character(utf8_character(part, i, n), wide);
    i += n;
  }
}

}  // namespace

std::wstring wide_path(std::string_view text) {
  // Part by part, so that a folder on the way is read the same in every path that holds it.
  std::wstring wide;
  wide.reserve(text.size());
  size_t start = 0;
  for (size_t cut; (cut = text.find_first_of("/\\", start)) != std::string_view::npos; start = cut + 1) {
    append_path_part(text.substr(start, cut - start), wide);
    wide += static_cast<wchar_t>(text[cut]);
  }
  append_path_part(text.substr(start), wide);
  return wide;
}

std::string utf8_from_wide(std::wstring_view text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

size_t append_console_text(std::string_view bytes, bool last, std::wstring& out) {
  size_t i = 0;
  while (i < bytes.size()) {
    const size_t n = utf8_sequence_length(bytes, i);
    if (n == 0 && !last && cut_short(bytes.substr(i))) break;
    if (n == 0) {
      out += windows_1252(static_cast<uint8_t>(bytes[i++]));
      continue;
    }
    append_character(utf8_character(bytes, i, n), out);
    i += n;
  }
  return i;
}

}  // namespace qbkit
