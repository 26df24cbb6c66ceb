#include "compiler/lexer.h"

#include <string>

#include "common/error.h"
#include "common/format.h"
#include "qb/words.h"

namespace qbkit::compiler {
namespace {

uint32_t digit_value(uint8_t c) {
  if (c <= '9') return c - '0';
  return (c | 0x20) - 'a' + 10;
}

}  // namespace

Lexer::Lexer(Bytes text) : buf_(std::move(text)) {
  size_ = buf_.size();
  buf_.push_back(0);
}

void Lexer::expect_char(char c) {
  const uint8_t got = peek();
  advance(1);
  if (got != static_cast<uint8_t>(c))
    throw Error(kExitMissingPunctuation, format("'%c' Expected - line %i\n", c, line()));
  skip_blanks();
}

std::string_view Lexer::read_word() {
  if (!is_word_start(peek())) throw Error(kExitFailure, format("*** error @%i: WORD expected!\n", line()));
  const size_t start = cursor_;
  while (is_word_char(buf_[cursor_])) ++cursor_;
  const std::string_view word = text(start, cursor_);
  skip_blanks();
  return word;
}

std::string_view Lexer::read_string() {
  if (peek() != '"') throw Error(kExitFailure, format("*** error @%i: STRING expected!\n", line()));
  const size_t start = cursor_ + 1;
  size_t p = start;
  while (buf_[p] != '"' && buf_[p] != 0) ++p;
  // A zero byte inside the text ends the string as the one after it does.
  const std::string_view s = text(start, p);
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
  ++line_;
  skip_blanks();
}

std::optional<NameDeclaration> Lexer::read_hash_line() {
  if (peek() == '/') {
    skip_comment();
    return std::nullopt;
  }
  const int first_line = line();
  if (read_word() != qb::kAddxWord) throw Error(kExitFailure, format("Error at line %i\n", line()));
  // A quote at once: the name alone, whose checksum the game computes from it.
  if (peek() == '"') return NameDeclaration{std::nullopt, read_string(), first_line};
  // Otherwise the two characters of the "0x" prefix are stepped over unexamined.
  advance(2);
  const uint32_t checksum = read_hex_field();
  return NameDeclaration{checksum, read_string(), first_line};
}

}  // namespace qbkit::compiler
