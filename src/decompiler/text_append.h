// A growable text buffer with cheap appends, and the number forms that decompiled text uses,
// equal to their printf forms ("%u", "%i", "%x", "%08x", "%02x").
//
// The decompiler appends a few bytes at a time, millions of times per large script; this
// buffer keeps that to an inlined room check and a copy.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace qbkit::decompiler {

class TextBuffer {
 public:
  explicit TextBuffer(size_t initial = 0) : buf_(initial, '\0') {}

  size_t size() const { return used_; }
  void truncate(size_t size) { used_ = std::min(used_, size); }

  void put(std::string_view s) {
    if (buf_.size() - used_ < s.size()) grow(s.size());
    std::memcpy(buf_.data() + used_, s.data(), s.size());
    used_ += s.size();
  }
  void put(char c) {
    if (buf_.size() == used_) grow(1);
    buf_[used_++] = c;
  }
  void put(size_t count, char c) {
    if (buf_.size() - used_ < count) grow(count);
    std::memset(buf_.data() + used_, c, count);
    used_ += count;
  }

  // The text written so far; the buffer is left empty.
  std::string take() {
    buf_.resize(used_);
    used_ = 0;
    return std::move(buf_);
  }

 private:
  void grow(size_t more) { buf_.resize(std::max(buf_.size() * 2, used_ + more) + 64); }

  std::string buf_;
  size_t used_ = 0;
};

inline void append_dec(TextBuffer& out, int64_t value) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  out.put(std::string_view(buf, static_cast<size_t>(res.ptr - buf)));
}

// Lower-case hexadecimal without leading zeros ("%x").
inline void append_hex(TextBuffer& out, uint64_t value) {
  char buf[16];
  auto res = std::to_chars(buf, buf + sizeof buf, value, 16);
  out.put(std::string_view(buf, static_cast<size_t>(res.ptr - buf)));
}

// Lower-case hexadecimal padded with zeros to `width` digits ("%08x", "%02x"); wider values
// keep all their digits, as printf does.
inline void append_hex_padded(TextBuffer& out, uint64_t value, int width) {
  static constexpr char kDigits[] = "0123456789abcdef";
  char buf[16];
  int n = 16;
  do {
    buf[--n] = kDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  while (16 - n < width) buf[--n] = '0';
  out.put(std::string_view(buf + n, static_cast<size_t>(16 - n)));
}

}  // namespace qbkit::decompiler
