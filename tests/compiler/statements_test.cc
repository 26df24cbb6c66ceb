// Statements, blocks and colon commands: the bytes they compile to and the way they fail.
#include <gtest/gtest.h>

#include "compiler/compile_util.h"

namespace qbkit::test {
namespace {

Bytes compiled(const std::string& text, bool thug1 = false) {
  CompileRun run = compile_with(text, {}, thug1);
  EXPECT_TRUE(run.ok) << text << ": " << run.message;
  return body(run);
}

CompileRun failed(const std::string& text, int status, const std::string& message, bool thug1 = false) {
  CompileRun run = compile_with(text, {}, thug1);
  EXPECT_FALSE(run.ok) << text;
  EXPECT_EQ(run.status, status) << text;
  EXPECT_EQ(run.message, message) << text;
  return run;
}

TEST(Statements, SingleCharacterTokensAndKeywords) {
  EXPECT_EQ(compiled(" \n\t= + -> - * / < > ( ) ; ."),
            (Bytes{0x07, 0x0b, 0x08, 0x0a, 0x0d, 0x0c, 0x12, 0x14, 0x0e, 0x0f, 0x09, 0x42}));
  EXPECT_EQ(compiled("function endfunction while loop_to continue NOT OR AND isNull return RandomRange"),
            (Bytes{0x23, 0x24, 0x20, 0x21, 0x22, 0x39, 0x32, 0x33, 0x2c, 0x29, 0x30}));
  // Keywords match at the start of longer words; call and arguments are read as nothing.
  EXPECT_EQ(compiled("ORreturn call arguments"), (Bytes{0x32, 0x29}));
  EXPECT_EQ(compiled("ifendif"), (Bytes{0x47, 0x03, 0x00, 0x28}));
  failed("ORx", 1, "Unkown how to handle 'x' at line 1\n");
  EXPECT_EQ(compiled("#addx 0x00000009 \"n\" #/ note\ncall $n$ arguments"),
            compiled("#addx 0x00000009 \"n\" $n$"));
}

TEST(Statements, WhatTheLoopDoesNotKnow) {
  failed("foo", 1, "Unkown how to handle 'f' at line 1\n");
  failed("\n5", 1, "Unkown how to handle '5' at line 2\n");
  failed(" Unknown ", 1, "Unkown how to handle 'U' at line 1\n");
  failed("randomrange", 1, "Unkown how to handle 'r' at line 1\n");
  failed("\"x\"", 1, "Unkown how to handle '\"' at line 1\n");
  failed("else", 1, "endif/else without if at line 1\n");
  failed("doElse", 1, "endif/else without if at line 1\n");
  failed("end_switch", 1, "case/endcase/endswitch without switch at line 1\n");
  failed("default", 1, "Unkown how to handle 'd' at line 1\n");
}

TEST(Conditionals, OffsetsOfIfAndElse) {
  EXPECT_EQ(compiled("if :i endif"), (Bytes{0x47, 0x04, 0x00, 0x01, 0x28}));
  EXPECT_EQ(compiled("if :i else :i endif"), (Bytes{0x47, 0x06, 0x00, 0x01, 0x48, 0x04, 0x00, 0x01, 0x28}));
  // Several else parts chain; nesting is plain recursion.
  EXPECT_EQ(compiled("if else else endif"), (Bytes{0x47, 0x05, 0x00, 0x48, 0x05, 0x00, 0x48, 0x03, 0x00, 0x28}));
  EXPECT_EQ(compiled("if if endif endif"), (Bytes{0x47, 0x07, 0x00, 0x47, 0x03, 0x00, 0x28, 0x28}));
  EXPECT_EQ(compiled("doIf :i doElse :i endif"), (Bytes{0x25, 0x01, 0x26, 0x01, 0x28}));
}

TEST(Conditionals, UnclosedAndMismatchedBlocks) {
  failed("if :i", 1, "Unclosed if block starting at line 1\n");
  failed(":i\nif :i doElse endif", 1, "Unclosed if block starting at line 2\n");
  failed("\n\ndoIf else endif", 1, "Unclosed if block starting at line 3\n");
  failed("if :end", 1, ":end within a switch(0) or an if(1) at line 1\n");
}

TEST(Conditionals, BlockLongerThanSixteenBitsIsRefused) {
  std::string text = "if ";
  for (int i = 0; i < 70000; ++i) text += ":i ";
  text += "\nendif";
  CompileRun run = failed(text, 1, "Block too long for a 16-bit offset at line 2\n");
  EXPECT_EQ(run.bytes.size(), 70003u + 0u);
}

TEST(Switches, StandardLayout) {
  EXPECT_EQ(compiled("switch :i case :i endcase default :i end_switch"),
            (Bytes{0x3c, 0x01, 0x3e, 0x49, 0x06, 0x00, 0x01, 0x49, 0x08, 0x00, 0x3f, 0x49, 0x03, 0x00, 0x01, 0x3d}));
  // A switch may open with default.
  EXPECT_EQ(compiled("switch :i default :i end_switch"), (Bytes{0x3c, 0x01, 0x3f, 0x49, 0x03, 0x00, 0x01, 0x3d}));
  // A branch that runs into the next case gets the offset an endcase would have given it.
  EXPECT_EQ(compiled("switch case :i case end_switch"),
            (Bytes{0x3c, 0x3e, 0x49, 0x03, 0x00, 0x01, 0x3e, 0x49, 0x02, 0x00, 0x3d}));
  failed("switch :i end_switch", 1,
         "Switch without cases??? fuck you??? Line 1\nOr maybe just a foolish syntax error :P\n");
  failed("switch case :i default end_switch", 1, "Unkown how to handle 'd' at line 1\n");
  failed("switch case :i", 1, std::string("Unknown switch command starting with '") + '\0' + "' in line 1\n");
  failed("switch defa", 1, "Unkown how to handle 'd' at line 1\n");
  failed(":i case", 1, "case/endcase/endswitch without switch at line 1\n");
  failed("switch case :end", 1, ":end within a switch(1) or an if(0) at line 1\n");
}

TEST(Switches, Thug1Layout) {
  EXPECT_EQ(compiled("switch :i case :i default :i end_switch", true),
            (Bytes{0x3c, 0x01, 0x3e, 0x01, 0x3f, 0x01, 0x3d}));
  failed("switch :i case :i endcase", 1, "case/endcase/endswitch without switch at line 1\n", true);
}

TEST(Select, PairsAndCounts) {
  CompileRun run = compile_with("select(2f,2, 01 02 a0 ff) :OFFSET(0):OFFSET(1) :POS(0) :POS(1)");
  ASSERT_TRUE(run.ok) << run.message;
  EXPECT_EQ(body(run), (Bytes{0x2f, 2, 0, 0, 0, 0x01, 0x02, 0xa0, 0xff, 4, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(compiled("select(2f,0,) "), (Bytes{0x2f, 0, 0, 0, 0}));
  EXPECT_EQ(compiled("select ( 41, 0, )"), (Bytes{0x41, 0, 0, 0, 0}));
  failed("select(2f ,0,)", 5, "',' Expected - line 1\n");
  failed("select(2f,-1,)", 5, "',' Expected - line 1\n");
  failed("select(2f,1,)", 1, "Wrong select syntax...\n");
  failed("select(2f,1, 01)", 1, "Wrong select syntax...\n");
  failed("select(2f,1, 01 02", 5, "')' Expected - line 1\n");
}

TEST(ColonCommands, TokensAndLongOffsets) {
  EXPECT_EQ(compiled(":s{ :a{ :a} :s}"), (Bytes{0x03, 0x05, 0x06, 0x04}));
  EXPECT_EQ(compiled(":u(02:0000000a) :u(2a:1)"), (Bytes{0x02, 0x0a, 0, 0, 0, 0x2a, 0x01, 0, 0, 0}));
  EXPECT_EQ(compiled(":POS(0) :BREAKTO(0)"), (Bytes{0x2e, 0xfb, 0xff, 0xff, 0xff}));
  EXPECT_EQ(compiled(":BREAKTO(3) :POS(3)"), (Bytes{0x2e, 0, 0, 0, 0}));
  EXPECT_EQ(compiled(":i :end this is never read $x$"), (Bytes{0x01}));
  failed(":x{", 1, "Unkown :*{ combo at line 1\n");
  failed(":x}", 1, "Unkown :*} combo at line 1\n");
  failed(":q", 1, "Unknown Colon command starting with 'q' at line 1\n");
  failed(": i", 1, "Unknown Colon command starting with ' ' at line 1\n");
  failed(":POS(-1)", 5, "')' Expected - line 1\n");
}

TEST(ColonCommands, MissingMarkerLeavesTheReservedBytesZero) {
  CompileRun run = failed("#addx 0x00000001 \"a\" :i :OFFSET(7) $a$", 1, "Offset pointint to non-existing offset 7\n");
  EXPECT_EQ(run.bytes, (Bytes{0x01, 0, 0, 0, 0, 0x16, 1, 0, 0, 0, 0x2b, 1, 0, 0, 0, 'a', 0, 0x00}));
}

TEST(Includes, CompiledInPlaceWithTheirOwnLineCount) {
  std::map<std::string, std::string> files = {
      {"t.qbi", "#addx 0x00000005 \"n\"\n"},
      {"inner", "\n\n  $n$ :end junk"},
      {"outer", "%include \"inner\" ;"},
      {"bad", "\n\n:q"},
      {"self", "%include \"self\""},
  };
  CompileRun run = compile_with("%include \"t.qbi\" #/ table\n%include \"outer\" =", files);
  ASSERT_TRUE(run.ok) << run.message;
  EXPECT_EQ(run.out, "Including: 't.qbi'\n...done.\nIncluding: 'outer'\n...Including: 'inner'\n...done.\ndone.\n");
  EXPECT_EQ(run.bytes, (Bytes{0x16, 5, 0, 0, 0, 0x09, 0x07, 0x2b, 5, 0, 0, 0, 'n', 0, 0}));

  run = compile_with(":i\n%include \"missing\"", files);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "Including: 'missing'\n...");
  EXPECT_EQ(run.message, "Couldn't open file!");
  EXPECT_EQ(run.bytes, (Bytes{0x01}));

  run = compile_with("%include \"bad\"", files);
  EXPECT_EQ(run.message, "Unknown Colon command starting with 'q' at line 3\n");

  run = compile_with("\n%include \"self\"", files);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.message, "Recursive include of 'self' at line 1\n");
}

TEST(Includes, AStopWordMayNotCloseABlockOfTheIncludingFile) {
  const std::map<std::string, std::string> files = {
      {"endif", ":i endif never read"},  {"else", "\n\n:i else :i"},   {"doElse", "\ndoElse"},
      {"case", "case"},                  {"endcase", ":i\n endcase"}, {"end_switch", "end_switch"},
      {"whole", "if :i else :i endif switch case endcase default end_switch"},
  };
  struct Case {
    const char* text;
    const char* word;
    int line;
  };
  for (const Case& c : {Case{"if %include \"endif\" endif", "endif", 1}, Case{"if %include \"else\" endif", "else", 3},
                        Case{"doIf %include \"doElse\" endif", "doElse", 2},
                        Case{"switch case %include \"case\" end_switch", "case", 1},
                        Case{"switch case %include \"endcase\" end_switch", "endcase", 2},
                        Case{"switch default %include \"end_switch\" end_switch", "end_switch", 1}}) {
    CompileRun run = compile_with(c.text, files);
    EXPECT_EQ(run.status, 1) << c.text;
    EXPECT_EQ(run.message, std::string("'") + c.word + "' in an included file closes a block opened outside it - line " +
                               std::to_string(c.line) + "\n")
        << c.text;
  }
  // Blocks opened and closed inside the included file are its own.
  CompileRun run = compile_with("if %include \"whole\" endif", files);
  ASSERT_TRUE(run.ok) << run.message;
  EXPECT_EQ(body(run).size(), 3u + 9u + 13u + 1u);
}

TEST(Nesting, DeepNestingIsRefusedInsteadOfOverflowingTheStack) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "if ";
  CompileRun run = compile_with(text);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.message, "Blocks nested too deeply at line 1\n");
  std::string fine;
  for (int i = 0; i < 200; ++i) fine += "if ";
  for (int i = 0; i < 200; ++i) fine += "endif ";
  EXPECT_TRUE(compile_with(fine).ok);
}

TEST(CompileText, EmptySourceAndNameRecords) {
  EXPECT_EQ(compile_with("").bytes, (Bytes{0x00}));
  EXPECT_EQ(compile_with("  \n").bytes, (Bytes{0x00}));
  CompileRun run = compile_with("#addx 0xdeadbeef \"x\"\n#addx 0xdeadbeef \"y\"");
  EXPECT_EQ(run.bytes, (Bytes{0x2b, 0xef, 0xbe, 0xad, 0xde, 'x', 0, 0x2b, 0xef, 0xbe, 0xad, 0xde, 'y', 0, 0}));
}

}  // namespace
}  // namespace qbkit::test
