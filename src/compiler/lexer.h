// The character level of the compiler: one source text with its cursor, blank skipping,
// comments, and the readers for punctuation, words, quoted strings and numbers that the
// value, statement and colon-command compilers call. The readers judge nothing: each says
// what it found, and the compiler reports what is wrong. Lines are not counted here: a
// diagnostic computes its line and column from its position when it is made.
//
// The text is held with one zero byte after its end, and the scans rely on it: a zero byte
// is no blank, word, digit or quote character, so every scan stops on it by itself and none
// compares with the size. Lookahead beyond the cursor goes through at(), which reads as zero
// past the end, and the cursor never moves beyond the terminating zero.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "common/bytes.h"

namespace qbkit::compiler {

// Character classes of the script text (bytes, no locale), one table lookup each.
namespace chars {
enum : uint8_t { kBlank = 1, kWordStart = 2, kWordChar = 4, kHex = 8, kDecimal = 16 };

constexpr std::array<uint8_t, 256> make_classes() {
  std::array<uint8_t, 256> t{};
  t[' '] = t['\t'] = t['\r'] = t['\n'] = kBlank;
  for (int c = 'a'; c <= 'z'; ++c) t[c] = kWordStart | kWordChar;
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = kWordStart | kWordChar;
  t['_'] = t['\\'] = kWordStart | kWordChar;
  for (int c = '0'; c <= '9'; ++c) t[c] = kWordChar | kHex | kDecimal;
  for (int c = 'a'; c <= 'f'; ++c) t[c] |= kHex;
  for (int c = 'A'; c <= 'F'; ++c) t[c] |= kHex;
  return t;
}
inline constexpr std::array<uint8_t, 256> kClasses = make_classes();
}  // namespace chars

inline bool is_blank(uint8_t c) { return chars::kClasses[c] & chars::kBlank; }
inline bool is_word_start(uint8_t c) { return chars::kClasses[c] & chars::kWordStart; }
inline bool is_word_char(uint8_t c) { return chars::kClasses[c] & chars::kWordChar; }
inline bool is_hex_digit(uint8_t c) { return chars::kClasses[c] & chars::kHex; }
inline bool is_decimal_digit(uint8_t c) { return chars::kClasses[c] & chars::kDecimal; }

// A quoted text as read_string found it: the bytes between the quotes, and whether the
// closing quote was there (an open string runs to the end of the source).
struct QuotedText {
  std::string_view text;  // lives as long as the source text
  bool closed;
};

class Lexer {
 public:
  Lexer() = default;
  // Reads `text` from `start` on. The byte after the text must be a zero byte, and the text
  // must live as long as the lexer: the sources of a compile keep theirs until it ends.
  Lexer(ByteSpan text, size_t start) : buf_(text.data()), size_(text.size()), cursor_(start) {}

  size_t cursor() const { return cursor_; }
  bool at_end() const { return cursor_ >= size_; }

  // The byte at `pos`; zero at and beyond the end of the source.
  uint8_t at(size_t pos) const { return pos < size_ ? buf_[pos] : 0; }
  uint8_t peek() const { return buf_[cursor_]; }
  // Whether the source at the cursor begins with `word` (with case; what follows is not looked at).
  // A word holds no zero byte, so the comparison fails at the terminating zero at the latest.
  bool starts_with(std::string_view word) const {
    const uint8_t* p = buf_ + cursor_;
    for (const char c : word) {
      if (*p++ != static_cast<uint8_t>(c)) return false;
    }
    return true;
  }
  // When the source at the cursor begins with `word`: passes over it and the blanks after it.
  bool accept(std::string_view word) {
    if (!starts_with(word)) return false;
    cursor_ += word.size();
    skip_blanks();
    return true;
  }
  // When the source at the cursor begins with `word`: passes over it only, for words that
  // the next character must follow at once.
  bool accept_glued(std::string_view word) {
    if (!starts_with(word)) return false;
    cursor_ += word.size();
    return true;
  }
  // Moves the cursor on by `n` bytes, never beyond the end of the source.
  void advance(size_t n) { cursor_ = std::min(size_, cursor_ + n); }
  // Puts the cursor at `pos`, at most the end of the source.
  void seek(size_t pos) { cursor_ = std::min(size_, pos); }
  void end_source() { cursor_ = size_; }
  // The position after the first line feed at or after `pos`, or the end of the source.
  size_t next_line(size_t pos) const {
    if (pos >= size_) return size_;
    const void* lf = std::memchr(buf_ + pos, '\n', size_ - pos);
    return lf ? static_cast<size_t>(static_cast<const uint8_t*>(lf) - buf_) + 1 : size_;
  }
  // The source from `pos` to `end`; both within the source.
  std::string_view text(size_t pos, size_t end) const {
    return {reinterpret_cast<const char*>(buf_) + pos, end - pos};
  }
  // The source text from the cursor on, zero-terminated (for atof-style readers).
  const char* text_at_cursor() const { return reinterpret_cast<const char*>(buf_) + cursor_; }

  // Moves past blanks; returns the byte it stops on.
  uint8_t skip_blanks() {
    while (is_blank(buf_[cursor_])) ++cursor_;
    return buf_[cursor_];
  }
  // Takes the byte at the cursor, moving one byte on whatever it is: when it is `c`, also
  // past the blanks after it, and true.
  bool take(char c) {
    const uint8_t got = peek();
    advance(1);
    if (got != static_cast<uint8_t>(c)) return false;
    skip_blanks();
    return true;
  }
  // A run of word characters starting with a word start, and the blanks after it; nullopt
  // (the cursor unmoved) when no word starts at the cursor.
  std::optional<std::string_view> read_word() {
    if (!is_word_start(peek())) return std::nullopt;
    const size_t start = cursor_;
    while (is_word_char(buf_[cursor_])) ++cursor_;
    const std::string_view word = text(start, cursor_);
    skip_blanks();
    return word;
  }
  // A double-quoted text without escapes, and the blanks after it: it ends at a quote or at a
  // zero byte (the cursor then one byte past it), or at the end of the source; nullopt (the
  // cursor unmoved) when no quote stands at the cursor.
  std::optional<QuotedText> read_string();

  // The number text at `pos` (a run of '-', an optional "0x", hex digit characters); does not
  // move the cursor. Hexadecimal when `hex` is set, when the prefix is there or when a letter
  // a-f/A-F occurs; arithmetic wraps modulo 2^32. A text without digits gives 0.
  uint32_t parse_number(size_t pos, bool hex) const;
  // A number field: blanks, the number, then past '-'s, "0x", '-'s and hex digits, blanks.
  uint32_t read_decimal_field();
  // A bare hexadecimal field: the number, then past hex digits only, blanks.
  uint32_t read_hex_field();
  void skip_hex_digits() {
    while (is_hex_digit(buf_[cursor_])) ++cursor_;
  }
  void skip_decimal_digits() {
    while (is_decimal_digit(buf_[cursor_])) ++cursor_;
  }
  // Passes over every byte up to the first `stop` or the end of the source, unexamined.
  void skip_to(char stop);
  // "#/" comment (the cursor on the '/'): past the next line feed (or up to a zero byte or
  // the end), then the blanks.
  void skip_comment();

 private:
  const uint8_t* buf_ = kNothing;  // the text, followed by a zero byte
  size_t size_ = 0;
  size_t cursor_ = 0;
  static constexpr uint8_t kNothing[1] = {0};
};

}  // namespace qbkit::compiler
