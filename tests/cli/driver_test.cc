// The command-line rules and mode t, run on the real binary.
#include <gtest/gtest.h>

#include "cli/cli_util.h"

namespace qbkit::test {
namespace {

std::string usage_for(const std::string& program) {
  return "Usage: " + program +
         " -[c,d,t,p] filename\nc = compile\nd = decompile\nt = create table file\n"
         "p = pre options\n\nMisc Options: -thug1 if it is a thug1 qb\n-debug to show debugging "
         "information\nUsage: " +
         program + " [c,d,t,p] filename.qb -command(thug1,debug)\n ";
}

// The name the binary is invoked by, which the usage text repeats.
std::string program_name() { return qbkit_program_name(); }

TEST(Driver, UsageTextForBrokenCommandLines) {
  TempDir dir;
  const std::vector<std::vector<std::string>> lines = {
      {},           {"-c"},        {"-d"},        {"c", "a.q"}, {"-x", "a.q"},
      {"-C", "a.q"}, {"-", "a.q"}, {"", "a.q"},   {"-P", "list"},
  };
  for (const auto& args : lines) {
    RunResult r = run_qbkit(args, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, usage_for(program_name()));
  }
}

TEST(Driver, ModeLetterIsTheSecondCharacterOnly) {
  TempDir dir;
  // -table selects mode t: the deprecation line, then mode t's own failure.
  RunResult r = run_qbkit({"-table", "missing.qb"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "THIS FUNCTION IS DEPRECATED...\nCouldn't open file!");
}

TEST(ModeT, CopiesFromBetweenTheLineBreaks) {
  TempDir dir;
  // Offset 3 onwards is scanned: 01 24 01 2b ... -> copy starts at the 0x24.
  Bytes qb = {0xAA, 0xBB, 0xCC, 0x01, 0x24, 0x01, 0x2b, 0x11, 0x22, 0x33, 0x44, 'a', 0x00, 0x00};
  dir.write("s.qb", qb);
  RunResult r = run_qbkit({"-t", "s.qb"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "THIS FUNCTION IS DEPRECATED...\n");
  EXPECT_EQ(dir.read("s.qb.tab"),
            std::string("\x24\x01\x2b\x11\x22\x33\x44"
                        "a\0\0",
                        10));
}

TEST(ModeT, ShortFilesWarnAndWriteAnEmptyTable) {
  TempDir dir;
  for (const std::string& content : {std::string(), std::string("\x01\x2b\x00", 3)}) {
    dir.write("t.qb", content);
    RunResult r = run_qbkit({"-t", "t.qb", "-thug1"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "THIS FUNCTION IS DEPRECATED...\n#/ Warning: This file might have a crappy table\n");
    EXPECT_EQ(dir.read("t.qb.tab"), "");
  }
}

TEST(ModeT, SecondPatternAfterTheWarning) {
  TempDir dir;
  dir.write("w.qb", std::string("\0\0\0\x07\x01\x2b\x05\x00\x00\x00z\x00\x00", 13));
  RunResult r = run_qbkit({"-t", "w.qb"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "THIS FUNCTION IS DEPRECATED...\n#/ Warning: This file might have a crappy table\n");
  EXPECT_EQ(dir.read("w.qb.tab"), std::string("\x2b\x05\x00\x00\x00z\x00\x00", 8));
}

TEST(ModeT, OutputThatCannotBeCreated) {
  TempDir dir;
  dir.write("u.qb", std::string("\0\0\0\x01\x2b", 5));
  std::filesystem::create_directory(dir / "u.qb.tab");  // a directory where the file should go
  RunResult r = run_qbkit({"-t", "u.qb"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "THIS FUNCTION IS DEPRECATED...\n#/ Warning: This file might have a crappy table\n"
            "Couldn't create table file!\n");
}

}  // namespace
}  // namespace qbkit::test
