#include "compiler/lexer.h"

#include <gtest/gtest.h>

#include "common/error.h"

namespace qbkit::compiler {
namespace {

Lexer lexer(const std::string& text) { return Lexer(Bytes(text.begin(), text.end())); }

uint32_t number(const std::string& text, bool hex) { return lexer(text).parse_number(0, hex); }

TEST(ParseNumber, SignsPrefixesAndBases) {
  EXPECT_EQ(number("--7", false), 7u);
  EXPECT_EQ(number("-0x10", false), static_cast<uint32_t>(-16));
  EXPECT_EQ(number("0X10", false), 0u);  // an upper-case X is no prefix
  EXPECT_EQ(number("10", false), 10u);
  EXPECT_EQ(number("10", true), 16u);
  EXPECT_EQ(number("1a", false), 26u);  // a letter makes it hexadecimal
  EXPECT_EQ(number("1a", true), 26u);
  EXPECT_EQ(number("12ab", false), 0x12abu);
  EXPECT_EQ(number("4294967295", false), 0xffffffffu);
  EXPECT_EQ(number("4294967296", false), 0u);  // wraps modulo 2^32
  EXPECT_EQ(number("FfFf", false), 0xffffu);
  EXPECT_EQ(number("-", false), 0u);
  EXPECT_EQ(number("", true), 0u);
}

TEST(ParseNumber, LongDigitRunsNeitherOverflowNorStop) {
  EXPECT_EQ(number(std::string(200, '0') + "42", false), 42u);
  EXPECT_EQ(number(std::string(200, 'f'), false), 0xffffffffu);
}

TEST(Lexer, FieldReadersPassOverWhatTheyRead) {
  Lexer a = lexer("  -0x1f  ,");
  EXPECT_EQ(a.read_decimal_field(), static_cast<uint32_t>(-31));
  EXPECT_EQ(a.peek(), ',');

  Lexer b = lexer("0X10)");
  EXPECT_EQ(b.read_decimal_field(), 0u);
  EXPECT_EQ(b.peek(), 'X');

  Lexer c = lexer("-10)");
  EXPECT_EQ(c.read_hex_field(), static_cast<uint32_t>(-16));
  EXPECT_EQ(c.peek(), '-');  // a sign is not passed over

  Lexer d = lexer("ff \n )");
  EXPECT_EQ(d.read_hex_field(), 0xffu);
  EXPECT_EQ(d.peek(), ')');
  EXPECT_EQ(d.line(), 2);
}

TEST(Lexer, WordsStringsAndPunctuation) {
  Lexer a = lexer("_ab\\9c rest");
  EXPECT_EQ(a.read_word(), "_ab\\9c");
  EXPECT_EQ(a.peek(), 'r');

  Lexer b = lexer("9abc");
  try {
    b.read_word();
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.status(), 1);
    EXPECT_EQ(e.message(), "*** error @1: WORD expected!\n");
  }

  // A line feed in a string is kept and not counted; the blanks after it are.
  Lexer c = lexer("\"a\nb\"\n\n)");
  EXPECT_EQ(c.read_string(), "a\nb");
  EXPECT_EQ(c.line(), 3);
  EXPECT_EQ(c.peek(), ')');

  // An unclosed string takes the rest of the source and leaves the cursor at its end.
  Lexer d = lexer("\"open");
  EXPECT_EQ(d.read_string(), "open");
  EXPECT_TRUE(d.at_end());
  EXPECT_EQ(d.peek(), 0);

  Lexer e = lexer("x");
  try {
    e.read_string();
    FAIL();
  } catch (const Error& err) {
    EXPECT_EQ(err.message(), "*** error @1: STRING expected!\n");
  }

  Lexer f = lexer("\n;");
  f.skip_blanks();
  try {
    f.expect_char(',');
    FAIL();
  } catch (const Error& err) {
    EXPECT_EQ(err.status(), 5);
    EXPECT_EQ(err.message(), "',' Expected - line 2\n");
  }
  EXPECT_TRUE(f.at_end());  // moved on whatever the byte was
}

TEST(Lexer, EndOfSourceReadsAsZeroAndCursorNeverPassesIt) {
  Lexer a = lexer("ab");
  EXPECT_EQ(a.at(2), 0);
  EXPECT_EQ(a.at(1000), 0);
  a.advance(1000);
  EXPECT_EQ(a.cursor(), 2u);
  EXPECT_FALSE(a.starts_with("abc"));
  EXPECT_EQ(a.skip_blanks(), 0);
}

TEST(Lexer, AcceptPassesOverTheWordAndOnlyThen) {
  Lexer a = lexer("endif \n\t$x");
  EXPECT_FALSE(a.accept("endiff"));
  EXPECT_FALSE(a.accept("else"));
  EXPECT_EQ(a.cursor(), 0u);
  EXPECT_TRUE(a.accept("end"));  // a prefix of a longer word is accepted
  EXPECT_TRUE(a.accept("if"));
  EXPECT_EQ(a.peek(), '$');
  EXPECT_EQ(a.line(), 2);

  Lexer b = lexer("u (");
  EXPECT_TRUE(b.accept_glued("u"));
  EXPECT_EQ(b.peek(), ' ');
}

TEST(Lexer, HashLines) {
  Lexer a = lexer("/ comment without line end");
  EXPECT_FALSE(a.read_hash_line());
  EXPECT_TRUE(a.at_end());
  EXPECT_EQ(a.line(), 2);

  Lexer b = lexer("addx 0x0000abcd \"some name\" $x$");
  std::optional<NameDeclaration> d = b.read_hash_line();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->checksum, 0xabcdu);
  EXPECT_EQ(d->name, "some name");
  EXPECT_EQ(b.peek(), '$');

  // Without the prefix the first two digits are taken for it.
  Lexer c = lexer("addx 12345678 \"short\"");
  EXPECT_EQ(c.read_hash_line()->checksum, 0x345678u);

  // A quote right after the blanks: the name alone, no checksum written; the line is the
  // one the declaration starts on.
  Lexer q = lexer("addx\n  \"New Name\" $x$");
  d = q.read_hash_line();
  ASSERT_TRUE(d);
  EXPECT_FALSE(d->checksum);
  EXPECT_EQ(d->name, "New Name");
  EXPECT_EQ(d->line, 1);
  EXPECT_EQ(q.peek(), '$');

  for (const char* bad : {"ADDX 0x1 \"n\"", "addxy 0x1 \"n\""}) {
    Lexer e = lexer(bad);
    try {
      e.read_hash_line();
      FAIL() << bad;
    } catch (const Error& err) {
      EXPECT_EQ(err.status(), 1);
      EXPECT_EQ(err.message(), "Error at line 1\n");
    }
  }
  Lexer f = lexer(" addx");
  EXPECT_THROW(f.read_hash_line(), Error);
}

}  // namespace
}  // namespace qbkit::compiler
