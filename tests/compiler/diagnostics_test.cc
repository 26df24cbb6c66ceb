// What --check reports for each kind of mistake, with its line and column, in the main text
// and in an included one; and the message of mode c, whose line is the line the offending
// text stands on. (compile_with and check_with also hold every case to the agreement of the
// two modes.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "compiler/compile_util.h"
#include "decompiler/decompiler.h"
#include "support/name_table_text.h"
#include "support/stream_generator.h"

namespace qbkit::test {
namespace {

struct Case {
  std::string text;
  // The diagnostics of the check: F stands for the name of the file that holds the text, M
  // for the main file's.
  std::string check;
  bool thug1 = false;
};

// The expected lines with the names put in for the F or M that starts each.
std::string named(const std::string& expected, const std::string& file, const std::string& main) {
  std::string s;
  for (size_t line = 0; line < expected.size();) {
    const size_t end = expected.find('\n', line) + 1;
    s += (expected[line] == 'F' ? file : main) + expected.substr(line + 1, end - line - 1);
    line = end;
  }
  return s;
}

// Each case in the main file, then in a file included on the main file's second line.
void expect_diagnostics(const Case& c) {
  EXPECT_EQ(check_with(c.text, {}, c.thug1).text(), named(c.check, "main", "main")) << c.text;
  const std::map<std::string, std::string> files = {{"inc.qbs", c.text}};
  EXPECT_EQ(check_with("#/ the case\n%include \"inc.qbs\"\n", files, c.thug1).text(),
            named(c.check, "inc.qbs", "main"))
      << c.text;
}

const char* const kAdvice = "note: to add a new name, declare it before its first use with the line #addx";

TEST(Diagnostics, NamesAndValues) {
  const Case cases[] = {
      {"#addx \"speed\"\n#addx \"Speed2\"\n:i $speed$ = $sped$\n:i $spede$ $zzz$\n",
       "F:3:14: error: name 'sped' is unknown; did you mean 'speed' or 'Speed2'? [unknown-name]\n"
       "F:4:4: error: name 'spede' is unknown; did you mean 'speed' or 'Speed2'? [unknown-name]\n"
       "F:4:12: error: name 'zzz' is unknown [unknown-name]\n"
       "F:4:12: " + std::string(kAdvice) + " \"zzz\" (or append the output of qbkit -k \"zzz\" to the table file)\n"},
      {":i foo\n:i 5\n:i \"x\"\n:i \xff\n:i %i(1 2)\n:i %foo\n:i :q\n:i :x{\n:i %f(1)\n",
       "F:1:4: error: unknown word 'foo': names are written between dollar signs, as in $foo$ [unexpected-char]\n"
       "F:2:4: error: a number on its own: numbers are written %i(DECIMAL,HEX) for integers, as in "
       "%i(5,00000005), and %f(X.Y) for floats, as in %f(1.500000) [unexpected-char]\n"
       "F:3:4: error: a quoted text on its own: strings are written %s(0,\"text\"), names $name$ "
       "[unexpected-char]\n"
       "F:4:4: error: the byte 0xff cannot start anything here [unexpected-char]\n"
       "F:5:9: error: expected ',' here, found '2' [missing-punctuation]\n"
       "F:6:4: error: unknown command '%foo': the value commands are %i, %f, %s, %sc, %vec2, %vec3 and "
       "%GLOBAL%, with case [unknown-command]\n"
       "F:7:5: error: unknown command ':q': the colon commands are :i, :s{, :s}, :a{, :a}, :u(OP:VALUE), "
       ":OFFSET(N), :BREAKTO(N), :POS(N) and :end [unknown-command]\n"
       "F:8:5: error: unknown bracket ':x{': a structure is written ':s{ ... :s}', an array ':a{ ... :a}' "
       "[unknown-command]\n"
       "F:9:7: error: a float needs a point: write 1.0 or 1.000000, not 1 [bad-number]\n"},
      {"%s(0,\"Caf\xc3\xa9\")\n#addx 0x12345678 \"a\"\n#wrong\n%include \"gone.qbi\" :i :BREAKTO(3)\n",
       "F:1:6: warning: the string is written in UTF-8, but the game reads one byte per character; compiled as "
       "it stands. Save the text as ISO 8859-1 (Latin-1) to keep one byte per letter [encoding]\n"
       "F:2:7: warning: \"a\" is declared with the checksum 0x12345678, but the game's checksum of that name is "
       "0x174841bc; compiled as declared [checksum-mismatch]\n"
       "F:3:1: error: '#wrong' is neither a comment ('#/') nor a name declaration ('#addx') [unexpected-char]\n"
       "F:4:1: error: cannot open 'gone.qbi': no such file [cannot-open]\n"},
      {":i :BREAKTO(3)\n:OFFSET(4) :POS(4)\n:OFFSET(5)\n",
       "F:1:4: error: the jump to target 3 finds no ':POS(3)': add it where the jump leads [missing-target]\n"
       "F:3:1: error: the jump to target 5 finds no ':POS(5)': add it where the jump leads [missing-target]\n"},
  };
  for (const Case& c : cases) expect_diagnostics(c);
}

TEST(Diagnostics, Blocks) {
  const Case cases[] = {
      {"endfunction\n:s}\nelse\nend_switch\ncase\ndefault\nloop_to\n",
       "F:1:1: error: 'endfunction' without an open 'function' [stray-closer]\n"
       "F:2:1: error: ':s}' without an open ':s{' [stray-closer]\n"
       "F:3:1: error: 'else' without an open 'if' [stray-closer]\n"
       "F:4:1: error: 'end_switch' without an open 'switch' [stray-closer]\n"
       "F:5:1: error: 'case' without an open 'switch' [stray-closer]\n"
       "F:6:1: error: 'default' without an open 'switch' [stray-closer]\n"
       "F:7:1: error: 'loop_to' without an open 'while' [stray-closer]\n"},
      {":i function\n:i if\n:i endfunction\n:i endif\n\twhile :a{\n\tloop_to\n:a} :s{\n",
       "F:1:4: error: 'function' is never closed: add 'endfunction' [unclosed-block]\n"
       "F:3:4: error: 'endfunction' inside the 'if' of line 2, which is not closed: add 'endif' before it "
       "[wrong-closer]\n"
       "F:6:2: error: 'loop_to' closes the 'while' of line 5, but the ':a{' of line 5 is still open: add ':a}' "
       "before it [wrong-closer]\n"
       "F:7:1: error: ':a}' without an open ':a{' [stray-closer]\n"
       "F:7:5: error: ':s{' is never closed: add ':s}' [unclosed-block]\n"},
      {"function\nfunction\nendfunction\nif :s{ else :s} endif\ndoIf else endif\n",
       "F:2:1: error: 'function' inside the 'function' of line 1: add 'endfunction' before it [nested-function]\n"
       "F:4:8: error: 'else' closes the 'if' of line 4, but the ':s{' of line 4 is still open: add ':s}' before "
       "it [wrong-closer]\n"
       "F:4:13: error: ':s}' without an open ':s{' [stray-closer]\n"
       "F:5:1: error: 'doIf' goes on with 'else' on line 5, the word of 'if': write 'doElse' [wrong-closer]\n"},
      {"switch\ncase :i\ncase :i\ndefault\nend_switch\nswitch end_switch\nif\n\n:i :end\n",
       "F:3:1: error: 'endcase' is missing before this 'case' [missing-endcase]\n"
       "F:4:1: error: 'endcase' is missing before this 'default' [missing-endcase]\n"
       "F:6:8: error: the 'switch' of line 6 has no 'case' or 'default' before 'end_switch' [missing-case]\n"
       "F:7:1: error: 'if' is never closed: add 'endif' [unclosed-block]\n"
       "F:9:4: error: ':end' inside the 'if' of line 7, which is not closed [unclosed-block]\n"},
      {"if switch case\n",
       "F:1:1: error: 'if' is never closed: add 'endif' [unclosed-block]\n"
       "F:1:4: error: 'switch' is never closed: add 'end_switch' [unclosed-block]\n"
       "F:2:1: error: the file ends inside the 'switch' of line 1: add 'end_switch' [unclosed-block]\n"},
      // The first game's layout has no endcase: the text compiles in the other layout.
      {"switch case :i default :i end_switch\n",
       "F:1:16: error: 'endcase' is missing before this 'default' [missing-endcase]\n"
       "M: note: the text compiles without errors with -thug1, the layout of the first game's scripts\n"},
      {"switch case :i endcase case end_switch\ncase\n",
       "F:1:16: error: 'endcase' is no word of the THUG1 layout (-thug1) [stray-closer]\n"
       "F:2:1: error: 'case' without an open 'switch' [stray-closer]\n",
       true},
  };
  for (const Case& c : cases) expect_diagnostics(c);
}

// An open string runs to the end of the file, where checking ends; a name that holds a line
// feed declares nothing, and checking goes on with the line after its quote.
TEST(Diagnostics, StringsEncodingsAndTheEnd) {
  const Case cases[] = {
      {"#addx \"foo\n#addx \"bar\"\n$bar$ $foo$\n%s(0,\"abc\n$nope$",
       "F:1:7: error: the name holds a line feed: add its closing quote on its own line [unclosed-string]\n"
       "F:3:7: error: name 'foo' is unknown [unknown-name]\n"
       "F:3:7: " + std::string(kAdvice) + " \"foo\" (or append the output of qbkit -k \"foo\" to the table file)\n"
       "F:4:6: error: the quoted text is never closed: add its closing quote [unclosed-string]\n"},
      {":i :end\n#/ fine\n\n:i function\n",
       "F:4:1: error: this text stands after the ':end' of line 1 and is never compiled: move it before ':end' "
       "[after-end]\n"},
      {"\xef\xbb\xbf:i ?\n",
       "F:1:1: warning: the file starts with a UTF-8 byte-order mark, which was skipped: save it as ANSI or ISO "
       "8859-1 (Latin-1), without one [bom]\n"
       "F:1:4: error: '?' cannot start anything here [unexpected-char]\n"},
      {std::string("\xff\xfe:\0i\0", 6),
       "F:1:1: error: this is UTF-16 text, as PowerShell 5.1's '>' writes it: save it as ANSI or ISO 8859-1 "
       "(Latin-1) in the editor, or write it with '| Out-File -Encoding Default' in PowerShell, or with '>' in "
       "cmd.exe [utf16]\n"},
  };
  for (const Case& c : cases) expect_diagnostics(c);
  // A file included twice reports its mistakes once: a diagnostic is one of a file, a place
  // and a code.
  EXPECT_EQ(check_with("%include \"inc.qbs\"\n%include \"inc.qbs\"\n", {{"inc.qbs", ":i ?\n"}}).text(),
            "inc.qbs:1:4: error: '?' cannot start anything here [unexpected-char]\n");
  // A compiled QB file given as the main file: one diagnostic, whatever its bytes hold.
  EXPECT_EQ(check_with(std::string("\x01\x16\x01\0\0\0\x47\x01\x00", 9)).text(),
            "main:1:1: error: this is a compiled QB file: decompile it with -d [qb-file]\n");
}

// Lines count every line feed, in strings and in skipped fields too; columns count bytes, so
// a tab and an ISO 8859-1 letter are one column each.
TEST(Diagnostics, LinesAndColumnsAfterStringsTabsAndLetters) {
  const Case lines = {"%s(0,\"a\nb\")\t\xe9\n%i(5,x\n\n) \t ?\n\t%s(0,\"\xe9\xe9\") ?",
                      "F:2:5: error: the byte 0xe9 cannot start anything here [unexpected-char]\n"
                      "F:5:5: error: '?' cannot start anything here [unexpected-char]\n"
                      "F:6:13: error: '?' cannot start anything here [unexpected-char]\n"};
  expect_diagnostics(lines);
  // The messages of mode c give the same lines.
  for (const auto& [text, message] : {std::pair<std::string, std::string>{"%s(0,\"a\nb\")\n?",
                                                                          "Unkown how to handle '?' at line 3\n"},
                                      {"%i(5,x\n\n)\n?", "Unkown how to handle '?' at line 4\n"},
                                      {":i $speed$\n:i", "Name 'speed' is unknown - line 1\n"},
                                      {"\n\n#ADDX \"a\"\n:i", "Error at line 3\n"},
                                      {"%foo\n\n:i", "Unknown Percent command 'foo' at line 1\n"},
                                      {"if :i\n\nelse\n  endif\n\n:i endif", "endif/else without if at line 6\n"}}) {
    EXPECT_EQ(compile_with(text).message, message) << text;
  }
}

std::string file_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The compile inputs of the fuzz corpora, in both layouts: the texts of the compile target,
// with its one table for every include, and the decompiled texts of the round-trip target's
// streams. compile_with holds each to the agreement of mode c and --check.
TEST(Diagnostics, ModeCAndCheckAgreeOnTheFuzzCorpora) {
  namespace fs = std::filesystem;
  const fs::path corpus = fs::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz" / "corpus";
  static const std::string kTable =
      "#addx 0x00000001 \"a\"\n#addx 0x00000002 \"Birdhouse Team\"\n#addx 0x00000001 \"b\"\n";
  const SourceLoader table = [](const std::string& name, const std::string&) -> LoadedSource {
    return {Bytes(kTable.begin(), kTable.end()), name, {}};
  };
  int inputs = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(corpus / "compile")) {
    for (const bool thug1 : {false, true}) compile_loading(file_text(e.path()), table, thug1);
    ++inputs;
  }
  for (const fs::directory_entry& e : fs::directory_iterator(corpus / "roundtrip")) {
    const std::string choices = file_text(e.path());
    if (choices.empty()) continue;
    Settings settings;
    settings.thug1 = choices[0] & 1;
    const Bytes stream = generate_stream(ByteSpan(reinterpret_cast<const uint8_t*>(choices.data()) + 1,
                                                  choices.size() - 1),
                                         settings.thug1);
    const Decompiled d = decompile(stream, "r.qb", settings);
    const CompileRun run = compile_with(d.text, {{"r.qb_table.qbi", test::render_table_file(d.names)}}, settings.thug1);
    EXPECT_TRUE(run.ok) << run.message;
    ++inputs;
  }
  EXPECT_GE(inputs, 8);
}

}  // namespace
}  // namespace qbkit::test
