#include "compiler/lexer.h"

#include <gtest/gtest.h>

namespace qbkit::compiler {
namespace {

// A lexer over its own copy of `text`, followed by the zero bytes that the lexer relies on.
class Text {
 public:
  explicit Text(const std::string& text) : bytes_(text.begin(), text.end()) {
    bytes_.resize(text.size() + kTextPadding);
    lexer_ = Lexer(ByteSpan(bytes_.data(), text.size()), 0);
  }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  Lexer* operator->() { return &lexer_; }

 private:
  Bytes bytes_;
  Lexer lexer_;
};

uint32_t number(const std::string& text, bool hex) { return Text(text)->parse_number(0, hex); }

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
  Text a("  -0x1f  ,");
  EXPECT_EQ(a->read_decimal_field(), static_cast<uint32_t>(-31));
  EXPECT_EQ(a->peek(), ',');

  Text b("0X10)");
  EXPECT_EQ(b->read_decimal_field(), 0u);
  EXPECT_EQ(b->peek(), 'X');

  Text c("-10)");
  EXPECT_EQ(c->read_hex_field(), static_cast<uint32_t>(-16));
  EXPECT_EQ(c->peek(), '-');  // a sign is not passed over

  Text d("ff \n )");
  EXPECT_EQ(d->read_hex_field(), 0xffu);
  EXPECT_EQ(d->peek(), ')');
}

// The readers say what they found and judge nothing: no word or no quote leaves the cursor.
TEST(Lexer, WordsStringsAndPunctuation) {
  Text a("_ab\\9c rest");
  EXPECT_EQ(a->read_word(), "_ab\\9c");
  EXPECT_EQ(a->peek(), 'r');
  Text b("9abc");
  EXPECT_FALSE(b->read_word());
  EXPECT_EQ(b->cursor(), 0u);

  // A line feed in a string is kept; an unclosed string takes the rest of the source.
  Text c("\"a\nb\"\n\n)");
  const std::optional<QuotedText> closed = c->read_string();
  ASSERT_TRUE(closed);
  EXPECT_EQ(closed->text, "a\nb");
  EXPECT_TRUE(closed->closed);
  EXPECT_EQ(c->peek(), ')');
  Text d("\"open");
  const std::optional<QuotedText> open = d->read_string();
  ASSERT_TRUE(open);
  EXPECT_EQ(open->text, "open");
  EXPECT_FALSE(open->closed);
  EXPECT_TRUE(d->at_end());
  Text e("x");
  EXPECT_FALSE(e->read_string());

  // take() moves one byte on whatever it is, and past the blanks only after a match.
  Text f(";\n, ,");
  EXPECT_FALSE(f->take(','));
  EXPECT_EQ(f->peek(), '\n');
  f->skip_blanks();
  EXPECT_TRUE(f->take(','));
  EXPECT_EQ(f->peek(), ',');
}

TEST(Lexer, EndOfSourceReadsAsZeroAndCursorNeverPassesIt) {
  Text a("ab");
  EXPECT_EQ(a->at(2), 0);
  EXPECT_EQ(a->at(1000), 0);
  a->advance(1000);
  EXPECT_EQ(a->cursor(), 2u);
  EXPECT_FALSE(a->starts_with("abc"));
  EXPECT_EQ(a->skip_blanks(), 0);
  EXPECT_EQ(a->next_line(0), 2u);
  Text b("a\nb");
  EXPECT_EQ(b->next_line(0), 2u);
  EXPECT_EQ(b->next_line(2), 3u);
}

TEST(Lexer, AcceptPassesOverTheWordAndOnlyThen) {
  Text a("endif \n\t$x");
  EXPECT_FALSE(a->accept("endiff"));
  EXPECT_FALSE(a->accept("else"));
  EXPECT_EQ(a->cursor(), 0u);
  EXPECT_TRUE(a->accept("end"));  // a prefix of a longer word is accepted
  EXPECT_TRUE(a->accept("if"));
  EXPECT_EQ(a->peek(), '$');

  Text b("u (");
  EXPECT_TRUE(b->accept_glued("u"));
  EXPECT_EQ(b->peek(), ' ');
}

}  // namespace
}  // namespace qbkit::compiler
