// The character level of the compiler: one source text with its cursor and line counter,
// blank skipping, comments, and the readers for punctuation, words, quoted strings and
// numbers that the value, statement and colon-command compilers call.
//
// The text is held with one zero byte after its end, and every read goes through a bounded
// accessor, so the end of the source reads as a zero byte to every scan and nothing reads
// past the buffer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/bytes.h"

namespace qbkit::qb {
class NameTable;
}

namespace qbkit::compiler {

// Character classes of the script text (bytes, no locale).
bool is_blank(uint8_t c);
bool is_word_start(uint8_t c);
bool is_word_char(uint8_t c);
bool is_hex_digit(uint8_t c);
bool is_decimal_digit(uint8_t c);

class Lexer {
 public:
  Lexer() : Lexer(Bytes{}) {}
  explicit Lexer(Bytes text);

  size_t size() const { return size_; }
  size_t cursor() const { return cursor_; }
  bool at_end() const { return cursor_ >= size_; }
  // Line counter for messages; it only counts the line feeds that the readers say they count.
  uint32_t line() const { return line_; }
  int line_number() const { return static_cast<int>(line_); }

  // The byte at `pos`; zero at and beyond the end of the source.
  uint8_t at(size_t pos) const { return pos < size_ ? buf_[pos] : 0; }
  uint8_t peek() const { return at(cursor_); }
  bool starts_with(std::string_view text) const;
  // Moves the cursor on by `n` bytes, never beyond the end of the source.
  void advance(size_t n) { cursor_ = std::min(size_, cursor_ + n); }
  void end_source() { cursor_ = size_; }
  // The source text from the cursor on, zero-terminated (for atof-style readers).
  const char* text_at_cursor() const { return reinterpret_cast<const char*>(buf_.data()) + cursor_; }

  // Moves past blanks, counting line feeds; returns the byte it stops on.
  uint8_t skip_blanks();
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
  void skip_hex_digits();
  void skip_decimal_digits();

  // "#/" comment: past the next line feed (or up to the end), one line counted, blanks.
  void skip_comment();
  // One line begun by '#' (cursor just past it): a comment or an "#addx" name declaration.
  void read_hash_line(qb::NameTable& names);

 private:
  Bytes buf_;  // the text and one zero byte
  size_t size_ = 0;
  size_t cursor_ = 0;
  uint32_t line_ = 1;
};

}  // namespace qbkit::compiler
