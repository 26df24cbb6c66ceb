// Name references and percent commands, compiled in memory.
#include <gtest/gtest.h>

#include "compiler/compile_util.h"

namespace qbkit::test {
namespace {

Bytes compiled(const std::string& text) {
  CompileRun run = compile_with(text);
  EXPECT_TRUE(run.ok) << text << ": " << run.message;
  return body(run);
}

void expect_failure(const std::string& text, int status, const std::string& message) {
  CompileRun run = compile_with(text);
  EXPECT_FALSE(run.ok) << text;
  EXPECT_EQ(run.status, status) << text;
  EXPECT_EQ(run.message, message) << text;
}

TEST(Integers, BothFormsAndTheirNumberRules) {
  EXPECT_EQ(compiled("%i(4294967295,ffffffff)"), (Bytes{0x17, 0xff, 0xff, 0xff, 0xff}));
  EXPECT_EQ(compiled("%i(-1,0)"), (Bytes{0x17, 0xff, 0xff, 0xff, 0xff}));
  EXPECT_EQ(compiled("%i( 12ab , whatever )"), (Bytes{0x17, 0xab, 0x12, 0, 0}));
  EXPECT_EQ(compiled("%i(0x10,)"), (Bytes{0x17, 0x10, 0, 0, 0}));
  EXPECT_EQ(compiled("%i(,ff)"), (Bytes{0x17, 0xff, 0, 0, 0}));
  expect_failure("%i(,0x10)", 5, "')' Expected - line 1\n");
  expect_failure("%i(5)", 5, "',' Expected - line 1\n");
  expect_failure("%I(5,5)", 1, "Unknown Percent command 'I' at line 1\n");
  expect_failure("%int(5,5)", 1, "Unknown Percent command 'int' at line 1\n");
  expect_failure("% i(5,5)", 1, "*** error @1: WORD expected!\n");
}

TEST(Floats, DotRuleAndSinglePrecision) {
  EXPECT_EQ(compiled("%f(1.5)"), (Bytes{0x1a, 0x00, 0x00, 0xc0, 0x3f}));
  EXPECT_EQ(compiled("%f(.5)"), (Bytes{0x1a, 0x00, 0x00, 0x00, 0x3f}));
  EXPECT_EQ(compiled("%f(-.5)"), (Bytes{0x1a, 0x00, 0x00, 0x00, 0xbf}));
  EXPECT_EQ(compiled("%f(2.)"), (Bytes{0x1a, 0x00, 0x00, 0x00, 0x40}));
  // 0.1 rounded to single precision, not truncated from double.
  EXPECT_EQ(compiled("%f(0.100000)"), (Bytes{0x1a, 0xcd, 0xcc, 0xcc, 0x3d}));
  expect_failure("%f(1)", 1, "Float needs a dot... add it you fool - line 1\n");
  expect_failure("%f(1.5e2)", 5, "')' Expected - line 1\n");
  EXPECT_EQ(compiled("%vec2(1.0,-2.0)"), (Bytes{0x1f, 0, 0, 0x80, 0x3f, 0, 0, 0, 0xc0}));
  EXPECT_EQ(compiled("%vec3(0.0, 1.0 ,\n0.0)"),
            (Bytes{0x1e, 0, 0, 0, 0, 0, 0, 0x80, 0x3f, 0, 0, 0, 0}));
  expect_failure("%vec3(0.0,1.0)", 5, "',' Expected - line 1\n");
}

TEST(Strings, LengthComesFromTheText) {
  EXPECT_EQ(compiled("%s(0,\"\")"), (Bytes{0x1b, 1, 0, 0, 0, 0}));
  EXPECT_EQ(compiled("%s(99,\"ab\")"), (Bytes{0x1b, 3, 0, 0, 0, 'a', 'b', 0}));
  EXPECT_EQ(compiled("%sc(2,\"ab\")"), (Bytes{0x1c, 3, 0, 0, 0, 'a', 'b', 0}));
  const std::string long_text(5000, 'x');
  Bytes b = compiled("%s(5000,\"" + long_text + "\")");
  ASSERT_EQ(b.size(), 5u + 5001u);
  EXPECT_EQ(b[1] | (b[2] << 8), 5001);
  expect_failure("%s(1,x)", 1, "*** error @1: STRING expected!\n");
  // An unclosed string takes the rest of the source; the closing parenthesis is then missing.
  expect_failure("%s(1,\"abc", 5, "')' Expected - line 1\n");
}

TEST(Global, NeedsItsClosingPercent) {
  EXPECT_EQ(compiled("%GLOBAL% %GLOBAL %"), (Bytes{0x2d, 0x2d}));
  expect_failure("%GLOBAL$", 5, "'%' Expected - line 1\n");
}

TEST(Names, DeclaredBeforeUseAndFirstEntryWins) {
  CompileRun run = compile_with("#addx 0x00000001 \"a\"\n#addx 0x00000002 \"a\"\n$a$ $ a $\n");
  ASSERT_TRUE(run.ok) << run.message;
  EXPECT_EQ(run.bytes, (Bytes{0x16, 1, 0, 0, 0, 0x16, 1, 0, 0, 0,  //
                              0x2b, 1, 0, 0, 0, 'a', 0, 0x2b, 2, 0, 0, 0, 'a', 0, 0}));
  expect_failure("$a$ #addx 0x00000001 \"a\"", 6, "Name 'a' is unknown - line 1\n");
  expect_failure("#addx 0x00000001 \"a\"\n$a b", 5, "'$' Expected - line 2\n");
  expect_failure("$$", 1, "*** error @1: WORD expected!\n");
}

TEST(Names, TextBetweenDollarsThatIsNotOneWord) {
  const std::string table =
      "#addx 0x00000011 \"Birdhouse Team\"\n#addx 0x00000022 \"T-shirt\"\n"
      "#addx 0x00000033 \"Stripe Shirt \"\n#addx 0x00000044 \"x\"\n";
  CompileRun run = compile_with(table + "$Birdhouse Team$ $T-shirt$=$Stripe Shirt $ $ x $");
  ASSERT_TRUE(run.ok) << run.message;
  EXPECT_EQ(Bytes(run.bytes.begin(), run.bytes.begin() + 21),
            (Bytes{0x16, 0x11, 0, 0, 0, 0x16, 0x22, 0, 0, 0, 0x07, 0x16, 0x33, 0, 0, 0, 0x16, 0x44, 0, 0, 0}));

  expect_failure(table + "$Birdhouse  Team$", 6, "Name 'Birdhouse  Team' is unknown - line 5\n");
  expect_failure("$[01020304]$", 6, "Name '[01020304]' is unknown - line 1\n");
  // An unknown name reports the line it stands on, one word or not, whatever follows it.
  for (const char* text : {":i $foo$\n", ":i $fo o$\n"}) {
    CompileRun run = compile_with(text);
    EXPECT_EQ(run.status, 6) << text;
    EXPECT_EQ(run.message, std::string("Name '") + (text[6] == 'o' ? "foo" : "fo o") + "' is unknown - line 1\n");
    EXPECT_EQ(run.bytes, (Bytes{0x01, 0x16})) << text;
  }
  // A second '$' on a later line does not pair with this one.
  expect_failure(table + "$Birdhouse\nTeam$", 5, "'$' Expected - line 6\n");
}

}  // namespace
}  // namespace qbkit::test
