// --check and the diagnostics of -c on the real binary: what each prints where, the statuses,
// the limits, and the command-line warnings and hints of the modes.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "cli/cli_util.h"
#include "support/profile_stream.h"

namespace qbkit::test {
namespace {

std::string usage() { return "Usage: " + qbkit_program_name() + " --check FILE... [-thug1] (reports every error in script text; writes nothing)\n"; }

TEST(Check, CommandLineAndFilesThatCannotBeRead) {
  TempDir dir;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--check"}, {"--check", "-thug1"}, {"--check", "a.qbs", "-THUG1"}}) {
    const RunResult r = run_qbkit(args, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, usage());
  }
  // Checking goes on with the next file; each that cannot be read says why.
  std::filesystem::create_directory(dir / "folder");
  dir.write("fine.qbs", ":i\n");
  std::vector<std::string> args = {"--check", "missing.qbs", "folder", "fine.qbs"};
  std::string expected = "missing.qbs: error: cannot open: no such file [cannot-open]\n"
                         "folder: error: cannot open: is a folder [cannot-open]\n";
  if (!qbkit_is_windows_binary()) {
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    args.push_back("fifo");
    expected += "fifo: error: cannot open: not a regular file [cannot-open]\n";
  }
  const RunResult r = run_qbkit(args, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(run_qbkit({"--check", "fine.qbs", "-thug1"}, dir.path()).status, 0);
}

// Every diagnostic of a file and of the files it includes, in the order of the text, at most
// 100 of them; nothing is written, and no progress line is printed.
TEST(Check, ReportsEverythingInOrderAndWritesNothing) {
  TempDir dir;
  dir.write("t.qbi", "#addx \"speed\"\n:i $sped$\n");
  std::string text = ":i $speed$ = $spede$\n%include \"t.qbi\"\n:i if\n";
  for (int i = 0; i < 120; ++i) text += ":i ?\n";
  dir.write("a.qbs", text);
  dir.write("b.qbs", ":i function\n");
  const std::vector<std::string> before = files_in(dir.path());
  const RunResult r = run_qbkit({"--check", "a.qbs", "b.qbs"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(files_in(dir.path()), before);
  std::string expected = "a.qbs:1:4: error: name 'speed' is unknown [unknown-name]\n"
                         "a.qbs:1:4: note: to add a new name, declare it before its first use with the line #addx "
                         "\"speed\" (or append the output of qbkit -k \"speed\" to the table file)\n"
                         "a.qbs:1:14: error: name 'spede' is unknown [unknown-name]\n"
                         "a.qbs:1:14: note: to add a new name, declare it before its first use with the line #addx "
                         "\"spede\" (or append the output of qbkit -k \"spede\" to the table file)\n"
                         "t.qbi:2:4: error: name 'sped' is unknown; did you mean 'speed'? [unknown-name]\n"
                         "a.qbs:3:4: error: 'if' is never closed: add 'endif' [unclosed-block]\n";
  for (int line = 4; line < 4 + 96; ++line)
    expected += "a.qbs:" + std::to_string(line) + ":4: error: '?' cannot start anything here [unexpected-char]\n";
  expected += "a.qbs: note: 24 more diagnostics not shown\n"
              "b.qbs:1:4: error: 'function' is never closed: add 'endfunction' [unclosed-block]\n";
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.err, "");
}

// The game's scripts draw no diagnostic; text decompiled from streams shaped like them stands
// for them, in both layouts.
TEST(Check, ScriptShapedTextIsClean) {
  TempDir dir;
  dir.write("s.qb", generate_profile_stream(48 << 10, 5, Switches::kStandard));
  dir.write("t.qb", generate_profile_stream(48 << 10, 6, Switches::kThug1));
  dir.write("s.qbs", run_qbkit({"-d", "s.qb"}, dir.path()).out);
  dir.write("t.qbs", run_qbkit({"-d", "t.qb", "-thug1"}, dir.path()).out);
  RunResult r = run_qbkit({"--check", "s.qbs"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  r = run_qbkit({"--check", "t.qbs", "-thug1"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  // In the other layout, the first game's text says how it compiles.
  r = run_qbkit({"--check", "t.qbs"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with("t.qbs: note: the text compiles without errors with -thug1, the layout of the first "
                              "game's scripts\n"))
      << r.out;
}

// Mode c keeps its messages on standard output, with the line the offending text stands on;
// standard error has the diagnostic. What --check finds in text that mode c compiles is a
// warning there, with the bytes and the status unchanged.
TEST(Check, ModeCWritesItsDiagnosticsToStandardError) {
  TempDir dir;
  dir.write("x.qbs", "%s(0,\"a\nb\")\n\n  ?\n");
  RunResult r = run_qbkit({"-c", "x.qbs"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Unkown how to handle '?' at line 4\n");
  EXPECT_EQ(r.err, "x.qbs:4:3: error: '?' cannot start anything here [unexpected-char]\n");

  dir.write("y.qbs", ":i function :s{\n:i :end\n:i endfunction\n");
  r = run_qbkit({"-c", "y.qbs"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.read("y.qbs.qb"), std::string("\x01\x23\x03\x01\x00", 5));
  EXPECT_EQ(r.err,
            "y.qbs:1:4: warning: 'function' is never closed: add 'endfunction' [unclosed-block]\n"
            "y.qbs:1:13: warning: ':s{' is never closed: add ':s}' [unclosed-block]\n"
            "y.qbs:3:1: warning: this text stands after the ':end' of line 2 and is never compiled: move it before "
            "':end' [after-end]\n");
  r = run_qbkit({"--check", "y.qbs"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "y.qbs:1:4: error: 'function' is never closed: add 'endfunction' [unclosed-block]\n"
                   "y.qbs:1:13: error: ':s{' is never closed: add ':s}' [unclosed-block]\n"
                   "y.qbs:3:1: error: this text stands after the ':end' of line 2 and is never compiled: move it "
                   "before ':end' [after-end]\n");
  // A byte-order mark is skipped: the text compiles.
  dir.write("z.qbs", "\xef\xbb\xbf:i\n");
  r = run_qbkit({"-c", "z.qbs"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.read("z.qbs.qb"), std::string("\x01\x00", 2));
}

// Every argument that a mode ignores is named on standard error, with the switch meant.
TEST(Check, IgnoredArgumentsAreNamed) {
  TempDir dir;
  dir.write("a.qbs", ":i\n");
  RunResult r = run_qbkit({"-c", "a.qbs", "b.qbs", "-THUG1", "-thug", "-debug"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "qbkit: warning: 'b.qbs' is ignored: -c takes one file [command-line]\n"
                   "qbkit: warning: '-THUG1' is ignored: it is no switch of -c; did you mean '-thug1'? [command-line]\n"
                   "qbkit: warning: '-thug' is ignored: it is no switch of -c; did you mean '-thug1'? [command-line]\n"
                   "qbkit: warning: '-debug' is ignored: -c takes only -thug1 [command-line]\n");
  r = run_qbkit({"-c", "a.qbs", "-debg"}, dir.path());
  EXPECT_EQ(r.err, "qbkit: warning: '-debg' is ignored: it is no switch of -c [command-line]\n");
  dir.write("e.qb", std::string(1, '\0'));
  r = run_qbkit({"-d", "e.qb", "-debug", "-thug1"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "qbkit: warning: '-thug1' is ignored: only the argument right after the file name is read "
                   "[command-line]\n");
  r = run_qbkit({"-d", "e.qb", "-Debug"}, dir.path());
  EXPECT_EQ(r.err, "qbkit: warning: '-Debug' is ignored: it is no switch of -d; did you mean '-debug'? "
                   "[command-line]\n");
  r = run_qbkit({"-t", "e.qb", "-thug1"}, dir.path());
  EXPECT_EQ(r.err, "qbkit: warning: '-thug1' is ignored: -t takes no switch [command-line]\n");
}

// An option in the file name's place: the command put right only when some argument can be
// the file name, quoted the way the user's shell needs it.
TEST(Check, HintForAnOptionInPlaceOfTheFileName) {
  TempDir dir;
  const std::string note = "qbkit: note: options go after the file name: ";
  RunResult r = run_qbkit({"-d", "-debug", "-thug1"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.find(note), std::string::npos) << r.err;
  r = run_qbkit({"-c", "-thug1"}, dir.path());
  EXPECT_EQ(r.err.find(note), std::string::npos) << r.err;
  r = run_qbkit({"-d", "-thug1", "-debug", "my $file.qb"}, dir.path());
  const std::string quoted = qbkit_is_windows_binary() ? "\"my $file.qb\"" : "'my $file.qb'";
  EXPECT_TRUE(r.err.ends_with(note + qbkit_program_name() + " -d " + quoted + " -thug1\n")) << r.err;
}

// Many small includes take time in proportion to their number: 60,000 took minutes when each
// one regrew the name table.
TEST(Check, ManyIncludesCompileInLinearTime) {
  TempDir dir;
  dir.write("t.qbi", "#addx \"a1\"\n#addx \"b2\"\n#addx \"c3\"\n#addx \"d4\"\n#addx \"e5\"\n");
  std::string text;
  for (int i = 0; i < 60000; ++i) text += "%include \"t.qbi\"\n";
  dir.write("m.qbs", text + ":i $e5$\n");
  RunOptions options;
  options.timeout_seconds = 45;
  const RunResult r = run_qbkit({"-c", "m.qbs"}, dir.path(), options);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.read("m.qbs.qb").size(), 6u + 60000u * 5 * 8 + 1);
}

}  // namespace
}  // namespace qbkit::test
