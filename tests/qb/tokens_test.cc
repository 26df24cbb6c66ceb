#include "qb/tokens.h"

#include <gtest/gtest.h>

#include <set>
#include <string_view>
#include <utility>

namespace qbkit::qb {
namespace {

TEST(TokenTable, KnownBytesAndTheirOperandSizes) {
  struct Case {
    uint8_t byte;
    const char* text;
    int standard;  // operand bytes in the standard layout, -1 when variable
    int thug1;
  };
  const Case cases[] = {
      {0x00, ":end", 0, 0},          {0x01, ":i ", 0, 0},         {0x02, ":u(02:", 4, 4},
      {0x03, ":s{", 0, 0},           {0x04, ":s}", 0, 0},         {0x05, ":a{", 0, 0},
      {0x06, ":a}", 0, 0},           {0x07, " = ", 0, 0},         {0x08, "->", 0, 0},
      {0x09, ";", 0, 0},             {0x0A, " - ", 0, 0},         {0x0B, " + ", 0, 0},
      {0x0C, " / ", 0, 0},           {0x0D, " * ", 0, 0},         {0x0E, " (", 0, 0},
      {0x0F, ") ", 0, 0},            {0x12, " < ", 0, 0},         {0x14, " > ", 0, 0},
      {0x16, "$", 4, 4},             {0x17, "%i(", 4, 4},         {0x1A, "%f(", 4, 4},
      {0x1B, "%s(", -1, -1},         {0x1C, "%sc(", -1, -1},      {0x1E, "%vec3(", 12, 12},
      {0x1F, "%vec2(", 8, 8},        {0x20, "while", 0, 0},       {0x21, "loop_to ", 0, 0},
      {0x22, "continue", 0, 0},      {0x23, "function ", 0, 0},   {0x24, "endfunction", 0, 0},
      {0x25, "doIf ", 0, 0},         {0x26, "doElse", 0, 0},      {0x28, "endif", 0, 0},
      {0x29, "return", 0, 0},        {0x2B, "", -1, -1},          {0x2C, " isNull ", 0, 0},
      {0x2D, "%GLOBAL%", 0, 0},      {0x2E, ":BREAKTO(", 4, 4},   {0x2F, "select(", -1, -1},
      {0x30, "RandomRange ", 0, 0},  {0x32, " OR ", 0, 0},        {0x33, " AND ", 0, 0},
      {0x37, "select(", -1, -1},     {0x39, "NOT ", 0, 0},        {0x3C, "switch ", 0, 0},
      {0x3D, "end_switch", 0, 0},    {0x3E, "case ", 3, 0},       {0x3F, "default ", 3, 0},
      {0x40, "select(", -1, -1},     {0x41, "select(", -1, -1},   {0x42, ".", 0, 0},
      {0x47, "if ", 2, 2},           {0x48, "else ", 2, 2},       {0x49, "endcase", 2, 2},
      {0x84, " Unknown ", 0, 0},
  };
  std::set<int> known;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << int(c.byte));
    const TokenInfo* t = token_info(c.byte);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->byte, c.byte);
    EXPECT_EQ(t->text, c.text);
    EXPECT_EQ(fixed_operand_size(t->operand, false), c.standard);
    EXPECT_EQ(fixed_operand_size(t->operand, true), c.thug1);
    known.insert(c.byte);
  }
  // Every other byte is outside the format.
  for (int b = 0; b < 256; ++b) {
    if (!known.count(b)) {
      EXPECT_EQ(token_info(static_cast<uint8_t>(b)), nullptr) << b;
    }
  }
  EXPECT_TRUE(token_info(kEndCase)->standard_only);
}

// The compiler reads each token by its word after the ':' or '%' that starts its text, or as
// a keyword: a word names one token of each kind, except the four select opcodes, which share
// "select" (the opcode is written in the text).
TEST(TokenTable, WordsNameOneTokenOfEachKind) {
  std::set<std::pair<char, std::string_view>> seen;
  for (int b = 0; b < 256; ++b) {
    const TokenInfo* t = token_info(static_cast<uint8_t>(b));
    if (t == nullptr || t->word.empty()) continue;
    if (t->word == "select") continue;
    const char kind = t->text[0] == ':' || t->text[0] == '%' ? t->text[0] : 'w';
    EXPECT_TRUE(seen.insert({kind, t->word}).second) << t->word;
    // A keyword's printed form is the word with blanks around it, or the word and '('; a
    // word after ':' or '%' follows it.
    EXPECT_EQ(t->text.find(t->word), kind == 'w' ? t->text.find_first_not_of(' ') : 1) << t->word;
  }
  EXPECT_EQ(word_of(kEndSwitch), "end_switch");
  EXPECT_EQ(word_of(kBreakTo), "BREAKTO");
  EXPECT_EQ(token_info(kGlobal)->text, "%GLOBAL%");
}

}  // namespace
}  // namespace qbkit::qb
