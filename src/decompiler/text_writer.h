// The decompiler's output: a buffer of fixed size that is handed to a sink (standard output,
// a file being written) each time it fills, so that the text of a script never stands whole
// in memory, however long it is. The number forms are those of printf ("%u", "%i", "%x",
// "%08x", "%02x").
//
// The printer appends a few bytes at a time, millions of times per large script; an append
// is an inlined capacity check and a copy.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <string>
#include <string_view>

#include "common/page_buffer.h"

namespace qbkit::decompiler {

// Where the pieces of text go.
class TextSink {
 public:
  virtual void write(std::string_view piece) = 0;

 protected:
  ~TextSink() = default;
};

class OstreamSink final : public TextSink {
 public:
  explicit OstreamSink(std::ostream& out) : out_(out) {}
  void write(std::string_view piece) override;

 private:
  std::ostream& out_;
};

class StringSink final : public TextSink {
 public:
  void write(std::string_view piece) override { text.append(piece); }
  std::string text;
};

class TextWriter {
 public:
  // The largest buffer: a piece of text that goes out at once.
  static constexpr size_t kMaxCapacity = size_t{1} << 20;

  // A buffer of `capacity` bytes (at least 64, at most kMaxCapacity): a text that is known
  // to be short takes fewer pages.
  TextWriter(TextSink& sink, size_t capacity);
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  // Hands what is buffered to the sink, and the following text to `sink`.
  void redirect(TextSink& sink) {
    flush();
    sink_ = &sink;
  }

  void put(std::string_view s) {
    if (s.size() <= kShort && available() >= kShort) {
      copy_short(buf_ + used_, s.data(), s.size());
      used_ += s.size();
    } else if (s.size() <= available()) {
      std::memcpy(buf_ + used_, s.data(), s.size());
      used_ += s.size();
    } else {
      put_long(s);
    }
  }
  void put(char c) {
    if (used_ == capacity_) flush();
    buf_[used_++] = c;
  }
  void put_repeated(size_t count, char c) {
    if (count <= available()) {
      std::memset(buf_ + used_, c, count);
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

  // Hands the buffered text to the sink.
  void flush();

 private:
  static constexpr char kDigits[] = "0123456789abcdef";

  size_t available() const { return capacity_ - used_; }  // free capacity

  // Most texts are words and names of a few bytes, whose lengths vary from call to call:
  // copied by two overlapping loads and stores of a fixed width rather than a call to
  // memcpy. Reads only the n source bytes; writes only the n destination bytes.
  static constexpr size_t kShort = 32;
  static void copy_short(char* to, const char* from, size_t n) {
    if (n >= 16) {
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
  // The first and the last W bytes of n (W <= n <= 2W), both loaded before either is stored.
  template <size_t W>
  static void copy_pair(char* to, const char* from, size_t n) {
    char head[W], tail[W];
    std::memcpy(head, from, W);
    std::memcpy(tail, from + n - W, W);
    std::memcpy(to, head, W);
    std::memcpy(to + n - W, tail, W);
  }
  // Space for `n` (a few) bytes at the end of the text; the caller advances used_.
  char* reserve(size_t n) {
    if (available() < n) flush();
    return buf_ + used_;
  }
  void put_long(std::string_view s);
  void put_repeated_long(size_t count, char c);

  TextSink* sink_;
  PageBuffer pages_;
  char* buf_;
  size_t capacity_;
  size_t used_ = 0;
};

}  // namespace qbkit::decompiler
