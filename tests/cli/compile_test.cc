// Mode -c on the real binary: output names, progress lines, messages, exit statuses and
// "temp.dump".
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_util.h"

namespace qbkit::test {
namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

TEST(CompileCli, WritesTheInputNameWithQbAppended) {
  TempDir dir;
  dir.write("x.q", "#/ QB Script version 2\n%include \"x.qbi\" #/ Table file\n:i $a$ = %i(1,00000001)\n#/ END\n");
  dir.write("x.qbi", "#addx 0x00000007 \"a\"\n");
  RunResult r = run_qbkit({"-c", "x.q"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Including: 'x.qbi'\n...done.\n");
  EXPECT_EQ(dir.read("x.q.qb"),
            bytes({0x01, 0x16, 7, 0, 0, 0, 0x07, 0x17, 1, 0, 0, 0, 0x2b, 7, 0, 0, 0, 'a', 0, 0}));
  EXPECT_FALSE(dir.exists("temp.dump"));
}

TEST(CompileCli, EmptySourceAndThug1Switch) {
  TempDir dir;
  dir.write("e", "");
  EXPECT_EQ(run_qbkit({"-c", "e"}, dir.path()).status, 0);
  EXPECT_EQ(dir.read("e.qb"), bytes({0}));

  dir.write("s", "switch case default end_switch");
  EXPECT_EQ(run_qbkit({"-c", "s", "-thug1"}, dir.path()).status, 0);
  EXPECT_EQ(dir.read("s.qb"), bytes({0x3c, 0x3e, 0x3f, 0x3d, 0}));
}

TEST(CompileCli, UnreadableSourceLeavesNoDump) {
  TempDir dir;
  RunResult r = run_qbkit({"-c", "missing.q"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Couldn't open file!");
  EXPECT_FALSE(dir.exists("temp.dump"));
}

TEST(CompileCli, FailureDumpsTheBytesProducedSoFar) {
  TempDir dir;
  dir.write("temp.dump", "old");
  dir.write("x.q.qb", "previous output");
  dir.write("x.q", ":i :s{\n%i(5,5) $nope$");
  RunResult r = run_qbkit({"-c", "x.q"}, dir.path());
  EXPECT_EQ(r.status, 6);
  EXPECT_EQ(r.out, "Name 'nope' is unknown - line 2\n");
  EXPECT_EQ(dir.read("temp.dump"), bytes({0x01, 0x03, 0x17, 5, 0, 0, 0, 0x16}));
  EXPECT_EQ(dir.read("x.q.qb"), "previous output");

  dir.write("y.q", "%f(1)");
  r = run_qbkit({"-c", "y.q"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Float needs a dot... add it you fool - line 1\n");
  EXPECT_EQ(dir.read("temp.dump"), bytes({0x1a}));

  dir.write("z.q", ":i %i(1 2)");
  r = run_qbkit({"-c", "z.q"}, dir.path());
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.out, "',' Expected - line 1\n");
}

TEST(CompileCli, SuccessLeavesAnEarlierDumpUntouched) {
  TempDir dir;
  dir.write("temp.dump", "old");
  dir.write("x.q", ":i");
  EXPECT_EQ(run_qbkit({"-c", "x.q"}, dir.path()).status, 0);
  EXPECT_EQ(dir.read("temp.dump"), "old");
}

TEST(CompileCli, IncludeFailuresAndTheirDumps) {
  TempDir dir;
  dir.write("a.q", ":i %include \"gone.qbi\" :i");
  RunResult r = run_qbkit({"-c", "a.q"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Including: 'gone.qbi'\n...Couldn't open file!");
  EXPECT_EQ(dir.read("temp.dump"), bytes({0x01}));

  // An error inside an included file gives that file's line.
  dir.write("sub/inc.q", ":s{\n\n:zz");
  dir.write("b.q", ":i\n:i\n%include \"sub/inc.q\"");
  r = run_qbkit({"-c", "b.q"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Including: 'sub/inc.q'\n...Unknown Colon command starting with 'z' at line 3\n");
  EXPECT_EQ(dir.read("temp.dump"), bytes({0x01, 0x01, 0x03}));

  // A file that includes itself under another spelling of its name.
  dir.write("c.q", "\n%include \"./c.q\"");
  r = run_qbkit({"-c", "c.q"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Including: './c.q'\n...Recursive include of './c.q' at line 2\n");
}

TEST(CompileCli, OutputThatCannotBeWritten) {
  TempDir dir;
  dir.write("x.q", ":i");
  std::filesystem::create_directory(dir / "x.q.qb");
  RunResult r = run_qbkit({"-c", "x.q"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Couldn't create file 'x.q.qb'!\n");
  EXPECT_FALSE(dir.exists("temp.dump"));  // refused before the compile: nothing is written
}

// Strings and names an editor turned into UTF-8 are compiled as they stand, with a warning
// at their opening quote; single bytes above 0x7F, as the game's own texts hold them, draw
// none.
TEST(CompileCli, WarnsOfUtf8AndOfReplacementCharacters) {
  TempDir dir;
  dir.write("t.qbi", "#addx \"Caf\xC3\xA9\"\n");
  dir.write("s.q", "%include \"t.qbi\"\n:i %s(0,\"Caf\xE9\")\n:i %s(0,\"Caf\xC3\xA9\")\n"
                   ":i %sc(0,\"Caf\xEF\xBF\xBD\") $Caf\xC3\xA9$");
  RunResult r = run_qbkit({"-c", "s.q"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "t.qbi:1:7: warning: the name is written in UTF-8, but the game reads one byte per character; "
            "compiled as it stands. Save the text as ISO 8859-1 (Latin-1) to keep one byte per letter [encoding]\n"
            "s.q:3:9: warning: the string is written in UTF-8, but the game reads one byte per character; "
            "compiled as it stands. Save the text as ISO 8859-1 (Latin-1) to keep one byte per letter [encoding]\n"
            "s.q:4:10: warning: the string holds the replacement character U+FFFD (bytes EF BF BD): an editor "
            "replaced a byte it could not read, and the original byte is lost; type the letter again [encoding]\n");
  const std::string qb = dir.read("s.q.qb");
  EXPECT_NE(qb.find("Caf\xEF\xBF\xBD"), std::string::npos);
  EXPECT_NE(qb.find("Caf\xE9"), std::string::npos);
}

}  // namespace
}  // namespace qbkit::test
