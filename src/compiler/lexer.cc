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
  size_t p = start;
  while (buf_[p] != '"' && buf_[p] != 0) ++p;
  // A zero byte inside the text ends the string as the quote does.
  const QuotedText s{text(start, p), p < size_};
  cursor_ = std::min(size_, p + 1);
  skip_blanks();
  return s;
}

uint32_t Lexer::parse_number(size_t pos, bool hex) const {
  bool negative = false;
  while (at(pos) == '-') {
    negative = !negative;
    ++pos;
  }
  if (at(pos) == '0' && at(pos + 1) == 'x') {
    hex = true;
    pos += 2;
  }
  const size_t start = pos;
  while (is_hex_digit(at(pos))) {
    if (!is_decimal_digit(buf_[pos])) hex = true;
    ++pos;
  }
  const uint32_t base = hex ? 16 : 10;
  uint32_t value = 0;
  for (size_t p = start; p < pos; ++p) value = value * base + digit_value(buf_[p]);
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

void Lexer::skip_to(char stop) {
  while (buf_[cursor_] != static_cast<uint8_t>(stop) && buf_[cursor_] != 0) ++cursor_;
}

void Lexer::skip_comment() {
  skip_to('\n');
  if (buf_[cursor_] == '\n') ++cursor_;
  skip_blanks();
}

}  // namespace qbkit::compiler
