// The character level of the compiler: one source text with its cursor and line counter,
// blank skipping, comments, and the readers for punctuation, words, quoted strings and
// numbers that the value, statement and colon-command compilers call.
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

// A name declaration line: "#addx 0x<checksum> \"<name>\"", or "#addx \"<name>\"", which
// declares the name with the game's checksum of it.
struct NameDeclaration {
  std::optional<uint32_t> checksum;  // as written; none in the second form
  std::string_view name;             // lives as long as the lexer
  int line;
};

class Lexer {
 public:
  Lexer() : Lexer(Bytes{}) {}
  // Takes the text and appends the terminating zero byte: a text with a spare byte of
  // capacity (as read_file(path, 1) gives it) is not copied.
  explicit Lexer(Bytes text);

  size_t size() const { return size_; }
  size_t cursor() const { return cursor_; }
  bool at_end() const { return cursor_ >= size_; }
  // Line counter for messages; it only counts the line feeds that the readers say they count.
  int line() const { return line_; }

  // The byte at `pos`; zero at and beyond the end of the source.
  uint8_t at(size_t pos) const { return pos < size_ ? buf_[pos] : 0; }
  uint8_t peek() const { return buf_[cursor_]; }
  // Whether the source at the cursor begins with `word` (with case; what follows is not looked at).
  // A word holds no zero byte, so the comparison fails at the terminating zero at the latest.
  bool starts_with(std::string_view word) const {
    const uint8_t* p = buf_.data() + cursor_;
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
  void end_source() { cursor_ = size_; }
  // The source from `pos` to `end`; both within the source.
  std::string_view text(size_t pos, size_t end) const {
    return {reinterpret_cast<const char*>(buf_.data()) + pos, end - pos};
  }
  // The source text from the cursor on, zero-terminated (for atof-style readers).
  const char* text_at_cursor() const { return reinterpret_cast<const char*>(buf_.data()) + cursor_; }

  // Moves past blanks, counting line feeds; returns the byte it stops on.
  uint8_t skip_blanks() {
    for (;;) {
      const uint8_t c = buf_[cursor_];
      if (!is_blank(c)) return c;
      line_ += c == '\n';
      ++cursor_;
    }
  }
  // The byte at the cursor must be `c`; the cursor moves one byte on either way.
  void expect_char(char c);
  // A run of word characters starting with a word start; the view lives as long as the lexer.
  std::string_view read_word();
  // A double-quoted text without escapes; ends at a quote, a zero byte or the end of the source.
  std::string_view read_string();

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

  // "#/" comment: past the next line feed (or up to the end), one line counted, blanks.
  void skip_comment();
  // One line begun by '#' (cursor just past it): a comment (nullopt) or an "#addx" name
  // declaration.
  std::optional<NameDeclaration> read_hash_line();

 private:
  Bytes buf_;  // the text and one zero byte
  size_t size_ = 0;
  size_t cursor_ = 0;
  int line_ = 1;
};

}  // namespace qbkit::compiler
