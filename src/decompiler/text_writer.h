// The decompiler's output: a buffer of fixed size that is handed to the output stream each
// time it fills, so that the text of a script never stands whole in memory, however long it
// is. The number forms are those of printf ("%u", "%i", "%x", "%08x", "%02x").
//
// The printer appends a few bytes at a time, millions of times per large script; an append
// is an inlined room check and a copy.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <memory>
#include <string_view>

namespace qbkit::decompiler {

class TextWriter {
 public:
  static constexpr size_t kCapacity = size_t{1} << 20;

  explicit TextWriter(std::ostream& out) : out_(out), buf_(new char[kCapacity]) {}
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  void put(std::string_view s) {
    if (s.size() <= room()) {
      std::memcpy(buf_.get() + used_, s.data(), s.size());
      used_ += s.size();
    } else {
      put_long(s);
    }
  }
  void put(char c) {
    if (used_ == kCapacity) flush();
    buf_[used_++] = c;
  }
  void put_repeated(size_t count, char c) {
    if (count <= room()) {
      std::memset(buf_.get() + used_, c, count);
      used_ += count;
    } else {
      put_repeated_long(count, c);
    }
  }

  // A line end, then `tabs` tabs; a count of zero or less gives no tab.
  void new_line(int64_t tabs) {
    put('\n');
    if (tabs > 0) put_repeated(static_cast<size_t>(tabs), '\t');
  }

  void put_dec(int64_t value) {
    char* p = reserve(24);
    used_ += static_cast<size_t>(std::to_chars(p, p + 24, value).ptr - p);
  }
  // Lower-case hexadecimal without leading zeros ("%x").
  void put_hex(uint64_t value) {
    char* p = reserve(16);
    used_ += static_cast<size_t>(std::to_chars(p, p + 16, value, 16).ptr - p);
  }
  // Lower-case hexadecimal, eight digits ("%08x" of a 32-bit value).
  void put_hex8(uint32_t value) {
    char* p = reserve(8);
    for (int i = 7; i >= 0; --i, value >>= 4) p[i] = kDigits[value & 0xF];
    used_ += 8;
  }
  // Lower-case hexadecimal, two digits ("%02x" of a byte).
  void put_hex2(uint8_t value) {
    char* p = reserve(2);
    p[0] = kDigits[value >> 4];
    p[1] = kDigits[value & 0xF];
    used_ += 2;
  }

  // Hands the buffered text to the output stream.
  void flush();

 private:
  static constexpr char kDigits[] = "0123456789abcdef";

  size_t room() const { return kCapacity - used_; }
  // Room for `n` (a few) bytes at the end of the text; the caller advances used_.
  char* reserve(size_t n) {
    if (room() < n) flush();
    return buf_.get() + used_;
  }
  void put_long(std::string_view s);
  void put_repeated_long(size_t count, char c);

  std::ostream& out_;
  std::unique_ptr<char[]> buf_;  // not cleared: only the used part is ever read
  size_t used_ = 0;
};

}  // namespace qbkit::decompiler
