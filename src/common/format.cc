#include "common/format.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>

namespace qbkit {
namespace {

void append_v(std::string& out, const char* fmt, va_list args) {
  char small[256];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof small) {
    out.append(small, static_cast<size_t>(n));
    return;
  }
  size_t old = out.size();
  out.resize(old + static_cast<size_t>(n) + 1);
  std::vsnprintf(out.data() + old, static_cast<size_t>(n) + 1, fmt, args);
  out.resize(old + static_cast<size_t>(n));
}

}  // namespace

std::string format(const char* fmt, ...) {
  std::string out;
  va_list args;
  va_start(args, fmt);
  append_v(out, fmt, args);
  va_end(args);
  return out;
}

void append_format(std::string& out, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  append_v(out, fmt, args);
  va_end(args);
}

std::string show_control_bytes(std::string_view text) {
  std::string shown;
  for (const char c : text) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x20 || b == 0x7F)
      append_format(shown, "\\x%02x", static_cast<unsigned>(b));
    else
      shown += c;
  }
  return shown;
}

}  // namespace qbkit
