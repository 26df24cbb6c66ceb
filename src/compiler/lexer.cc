#include "compiler/lexer.h"

namespace qbkit::compiler {
namespace {

uint32_t digit_value(uint8_t c) {
  if (c <= '9') return c - '0';
  return (c | 0x20) - 'a' + 10;
}

}  // namespace

std::optional<QuotedText> Lexer::read_string() {
  if (peek() != '"') return std::nullopt;
  const size_t start = cursor_ + 1;
  const size_t p = find(start, '"', '"');
  // A zero byte inside the text ends the string as the quote does.
  const QuotedText s{text(start, p), p < size_};
  cursor_ = std::min(size_, p + 1);
  skip_blanks();
  return s;
}

// One pass computes the value in both bases; the zero after the text ends every run.
uint32_t Lexer::parse_number(size_t pos, bool hex) const {
  bool negative = false;
  while (buf_[pos] == '-') {
    negative = !negative;
    ++pos;
  }
  if (buf_[pos] == '0' && buf_[pos + 1] == 'x') {
    hex = true;
    pos += 2;
  }
  uint32_t decimal = 0, sixteen = 0;
  for (uint8_t c; is_hex_digit(c = buf_[pos]); ++pos) {
    hex = hex || !is_decimal_digit(c);
    decimal = decimal * 10 + digit_value(c);
    sixteen = sixteen * 16 + digit_value(c);
  }
  const uint32_t value = hex ? sixteen : decimal;
  return negative ? 0u - value : value;
}

uint32_t Lexer::read_decimal_field() {
  skip_blanks();
  const uint32_t value = parse_number(cursor_, false);
  while (buf_[cursor_] == '-') ++cursor_;
  if (buf_[cursor_] == '0' && buf_[cursor_ + 1] == 'x') cursor_ += 2;
  while (buf_[cursor_] == '-') ++cursor_;
  skip_hex_digits();
  skip_blanks();
  return value;
}

uint32_t Lexer::read_hex_field() {
  const uint32_t value = parse_number(cursor_, true);
  skip_hex_digits();
  skip_blanks();
  return value;
}

void Lexer::skip_comment() {
  skip_to('\n');
  if (buf_[cursor_] == '\n') ++cursor_;
  skip_blanks();
}

}  // namespace qbkit::compiler
