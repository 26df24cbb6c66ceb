// The pieces of script text that the printer writes, as byte operations on a character
// pointer: number forms (those of printf: "%u", "%i", "%x", "%08x", "%02x"), short copies and
// the known words at a fixed width. TextWriter checks room before each; RawText, the
// printer's fast path, writes where its caller has made room for a whole group of tokens.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace qbkit::decompiler {

// A known text (a token's word) in a slot of fixed width: copied by one store of the whole
// slot, whatever its length, and the cursor then moves by its length. Against copies of the
// length alone: 40.1 ms against 41.9 ms for the whole decompile of the benchmark's script.
struct FixedText {
  static constexpr size_t kWidth = 16;
  char bytes[kWidth] = {};
  uint8_t size = 0;
  std::string_view view() const { return {bytes, size}; }
};

// The most bytes any piece writes past its own end (a padded text, a run of tabs).
inline constexpr size_t kOvershoot = 32;

// The width of the fixed copy of a text that may be read that far from its start.
inline constexpr size_t kPaddedWidth = 32;

inline constexpr char kHexDigits[] = "0123456789abcdef";

// Writes the decimal digits of `value` at p and returns their end. Room: 20 bytes.
template <typename Int>
char* write_dec(char* p, Int value) {
  return std::to_chars(p, p + 20, value).ptr;
}

// "%x": lower-case hexadecimal without leading zeros. Room: 16 bytes.
inline char* write_hex(char* p, uint64_t value) { return std::to_chars(p, p + 16, value, 16).ptr; }

// "%08x" of a 32-bit value, 8 bytes.
inline void write_hex8(char* p, uint32_t value) {
  for (int i = 7; i >= 0; --i, value >>= 4) p[i] = kHexDigits[value & 0xF];
}

// "%02x" of a byte, 2 bytes.
inline void write_hex2(char* p, uint8_t value) {
  p[0] = kHexDigits[value >> 4];
  p[1] = kHexDigits[value & 0xF];
}

// The first and the last W bytes of n (W <= n <= 2W), both loaded before either is stored.
template <size_t W>
void copy_pair(char* to, const char* from, size_t n) {
  char head[W], tail[W];
  std::memcpy(head, from, W);
  std::memcpy(tail, from + n - W, W);
  std::memcpy(to, head, W);
  std::memcpy(to + n - W, tail, W);
}

// Copies n bytes. Most texts are names and words of a few bytes, whose lengths vary from call
// to call: up to 32 bytes they are copied by two overlapping loads and stores of a fixed width
// rather than a call to memcpy. Reads only the n source bytes; writes only n bytes.
inline void copy_text(char* to, const char* from, size_t n) {
  if (n > 32) {
    std::memcpy(to, from, n);
  } else if (n >= 16) {
    copy_pair<16>(to, from, n);
  } else if (n >= 8) {
    copy_pair<8>(to, from, n);
  } else if (n >= 4) {
    copy_pair<4>(to, from, n);
  } else if (n > 0) {
    to[0] = from[0];
    to[n / 2] = from[n / 2];
    to[n - 1] = from[n - 1];
  }
}

// The unchecked cursor: each piece is written at the cursor, which then moves past it. The
// caller guarantees the room, including kOvershoot bytes past the last piece.
class RawText {
 public:
  explicit RawText(char* p) : p_(p) {}
  char* end() const { return p_; }

  void put(std::string_view s) {
    copy_text(p_, s.data(), s.size());
    p_ += s.size();
  }
  void put(char c) { *p_++ = c; }
  // A text that may be read kPaddedWidth bytes from its start: up to that length, one copy of
  // that width whatever its length.
  void put_padded(std::string_view s) {
    if (s.size() <= kPaddedWidth)
      std::memcpy(p_, s.data(), kPaddedWidth);
    else
      std::memcpy(p_, s.data(), s.size());
    p_ += s.size();
  }
  void put(const FixedText& t) {
    std::memcpy(p_, t.bytes, FixedText::kWidth);
    p_ += t.size;
  }
  // A line end, then `tabs` tabs; a count of zero or less gives no tab. Runs of up to 16 tabs,
  // nearly all of them, are one fixed store.
  void new_line(int64_t tabs) {
    *p_++ = '\n';
    if (tabs <= 0) return;
    const auto n = static_cast<size_t>(tabs);
    std::memset(p_, '\t', kOvershoot);
    if (n > kOvershoot) std::memset(p_ + kOvershoot, '\t', n - kOvershoot);
    p_ += n;
  }
  template <typename Int>
  void put_dec(Int value) {
    p_ = write_dec(p_, value);
  }
  void put_hex(uint64_t value) { p_ = write_hex(p_, value); }
  void put_hex8(uint32_t value) {
    write_hex8(p_, value);
    p_ += 8;
  }
  void put_hex2(uint8_t value) {
    write_hex2(p_, value);
    p_ += 2;
  }

 private:
  char* p_;
};

}  // namespace qbkit::decompiler
