#include "compiler/lexer.h"

#include <array>
#include <cstring>

#include "common/error.h"
#include "common/format.h"
#include "qb/name_table.h"

namespace qbkit::compiler {
namespace {

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
constexpr std::array<uint8_t, 256> kClasses = make_classes();

uint32_t digit_value(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

}  // namespace

bool is_blank(uint8_t c) { return kClasses[c] & kBlank; }
bool is_word_start(uint8_t c) { return kClasses[c] & kWordStart; }
bool is_word_char(uint8_t c) { return kClasses[c] & kWordChar; }
bool is_hex_digit(uint8_t c) { return kClasses[c] & kHex; }
bool is_decimal_digit(uint8_t c) { return kClasses[c] & kDecimal; }

Lexer::Lexer(Bytes text) : buf_(std::move(text)) {
  size_ = buf_.size();
  buf_.push_back(0);
}

bool Lexer::starts_with(std::string_view text) const {
  return text.size() <= size_ - cursor_ && std::memcmp(buf_.data() + cursor_, text.data(), text.size()) == 0;
}

uint8_t Lexer::skip_blanks() {
  // The zero byte after the text is not a blank, so this stops at the end by itself.
  for (;;) {
    const uint8_t c = buf_[cursor_];
    if (!(kClasses[c] & kBlank)) return c;
    if (c == '\n') ++line_;
    ++cursor_;
  }
}

void Lexer::expect_char(char c) {
  const uint8_t got = peek();
  advance(1);
  if (got != static_cast<uint8_t>(c)) throw Error(5, format("'%c' Expected - line %i\n", c, line_number()));
  skip_blanks();
}

std::string_view Lexer::read_word() {
  if (!is_word_start(peek())) throw Error(1, format("*** error @%i: WORD expected!\n", line_number()));
  const size_t start = cursor_;
  while (kClasses[buf_[cursor_]] & kWordChar) ++cursor_;
  std::string_view word(reinterpret_cast<const char*>(buf_.data()) + start, cursor_ - start);
  skip_blanks();
  return word;
}

std::string_view Lexer::read_string() {
  if (peek() != '"') throw Error(1, format("*** error @%i: STRING expected!\n", line_number()));
  const size_t start = cursor_ + 1;
  size_t p = start;
  while (p < size_ && buf_[p] != '"' && buf_[p] != 0) ++p;
  std::string_view text(reinterpret_cast<const char*>(buf_.data()) + start, p - start);
  cursor_ = std::min(size_, p + 1);
  skip_blanks();
  return text;
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
    if (!is_decimal_digit(at(pos))) hex = true;
    ++pos;
  }
  const uint32_t base = hex ? 16 : 10;
  uint32_t value = 0;
  for (size_t p = start; p < pos; ++p) value = value * base + digit_value(buf_[p]);
  return negative ? 0u - value : value;
}

void Lexer::skip_hex_digits() {
  while (kClasses[buf_[cursor_]] & kHex) ++cursor_;
}

void Lexer::skip_decimal_digits() {
  while (kClasses[buf_[cursor_]] & kDecimal) ++cursor_;
}

uint32_t Lexer::read_decimal_field() {
  skip_blanks();
  const uint32_t value = parse_number(cursor_, false);
  while (buf_[cursor_] == '-') ++cursor_;
  if (buf_[cursor_] == '0' && at(cursor_ + 1) == 'x') cursor_ += 2;
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
  while (buf_[cursor_] != '\n' && buf_[cursor_] != 0) ++cursor_;
  if (buf_[cursor_] == '\n') ++cursor_;
  ++line_;
  skip_blanks();
}

void Lexer::read_hash_line(qb::NameTable& names) {
  if (peek() == '/') {
    skip_comment();
    return;
  }
  if (read_word() != "addx") throw Error(1, format("Error at line %i\n", line_number()));
  // The two characters of the "0x" prefix are stepped over unexamined.
  advance(2);
  const uint32_t checksum = read_hex_field();
  names.add_name(checksum, read_string());
}

}  // namespace qbkit::compiler
