// The decompiler's output: a buffer of fixed size that is handed to a sink (standard output,
// a file being written) each time it fills, so that the text of a script never stands whole
// in memory, however long it is.
//
// Each piece is checked for room on its own here. The printer's fast path checks once for a
// group of tokens and writes the group through a RawText at cursor().
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <string>
#include <string_view>

#include "common/page_buffer.h"
#include "decompiler/text_out.h"

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

  TextSink& sink() const { return *sink_; }

  // Hands what is buffered to the sink, and the following text to `sink`.
  void redirect(TextSink& sink) {
    flush();
    sink_ = &sink;
  }

  void put(std::string_view s) {
    if (s.size() <= available()) {
      copy_text(buf_ + used_, s.data(), s.size());
      used_ += s.size();
    } else {
      put_long(s);
    }
  }
  void put(char c) {
    if (used_ == capacity_) flush();
    buf_[used_++] = c;
  }
  void put(const FixedText& t) { put(t.view()); }
  void put_padded(std::string_view s) { put(s); }
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

  template <typename Int>
  void put_dec(Int value) {
    used_ = static_cast<size_t>(write_dec(reserve(20), value) - buf_);
  }
  void put_hex(uint64_t value) { used_ = static_cast<size_t>(write_hex(reserve(16), value) - buf_); }
  void put_hex8(uint32_t value) {
    write_hex8(reserve(8), value);
    used_ += 8;
  }
  void put_hex2(uint8_t value) {
    write_hex2(reserve(2), value);
    used_ += 2;
  }

  // The unchecked cursor's way in: the free space at the end of the text, and the end of
  // what was written there.
  size_t available() const { return capacity_ - used_; }
  char* cursor() { return buf_ + used_; }
  void advance_to(char* end) { used_ = static_cast<size_t>(end - buf_); }

  // Hands the buffered text to the sink.
  void flush();

 private:
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
