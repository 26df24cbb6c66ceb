// Fast appends of the number forms that decompiled text uses, equal to their printf forms
// ("%u", "%i", "%x", "%08x", "%02x") but without a format string to parse per token.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>

namespace qbkit::decompiler {

inline void append_dec(std::string& out, int64_t value) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, res.ptr);
}

// Lower-case hexadecimal without leading zeros ("%x").
inline void append_hex(std::string& out, uint64_t value) {
  char buf[16];
  auto res = std::to_chars(buf, buf + sizeof buf, value, 16);
  out.append(buf, res.ptr);
}

// Lower-case hexadecimal padded with zeros to `width` digits ("%08x", "%02x"); wider values
// keep all their digits, as printf does.
inline void append_hex_padded(std::string& out, uint64_t value, int width) {
  static constexpr char kDigits[] = "0123456789abcdef";
  char buf[16];
  int n = 0;
  do {
    buf[n++] = kDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  for (int i = n; i < width; ++i) out.push_back('0');
  while (n > 0) out.push_back(buf[--n]);
}

}  // namespace qbkit::decompiler
