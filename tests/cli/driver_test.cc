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

// A stream with a standard-layout switch (case carries 49 + offset) and an if: its text shows
// which layout and which switches the decompiler ran with.
const std::string kSwitchStream("\x3c\x3e\x49\x04\x00\x01\x3d\x47\x04\x00\x01\x28\x00", 13);

TEST(Driver, ModeDReadsOnlySlotThreeDebugBeforeThug1) {
  TempDir dir;
  dir.write("s.qb", kSwitchStream);
  const std::string head = "#/ QB Script version 2\n%include \"s.qb_table.qbi\"   #/ Table file\n";
  const std::string standard = head + "switch case \n\t\t:i end_switch\nif \n:i endif:end\n\n\n#/ END\n";
  const std::string debug = head + "switch case \n\t\t:i end_switch\nif[1] \n:i endif[1] :end\n\n\n#/ END\n";

  EXPECT_EQ(run_qbkit({"-decompile", "s.qb"}, dir.path()).out, standard);
  EXPECT_EQ(run_qbkit({"-d", "s.qb", "-debug", "-thug1"}, dir.path()).out, debug);
  EXPECT_EQ(run_qbkit({"-d", "s.qb", "-DEBUG"}, dir.path()).out, standard);
  EXPECT_EQ(run_qbkit({"-d", "s.qb", "-debugx"}, dir.path()).out, standard);
  // -thug1 in slot 3 reads case as one byte, so the inline 49 is an endcase token, refused.
  RunResult thug1 = run_qbkit({"-d", "s.qb", "-thug1", "-debug"}, dir.path());
  EXPECT_EQ(thug1.status, 1);
  EXPECT_EQ(thug1.out,
            "GOTO stuff not implemented... please report that cuz it shouldn't happen\n"
            "Maybe this file doesn't work with -thug1?\n");
}

TEST(Driver, ModeCRecognisesOnlyThug1InSlotThree) {
  TempDir dir;
  dir.write("s.txt", "switch :i case :i default :i end_switch");
  // Standard layout: a default after a body without endcase is not a branch head.
  for (const char* option : {"-debug", "-THUG1", "-thug1x"}) {
    RunResult r = run_qbkit({"-compile", "s.txt", option}, dir.path());
    EXPECT_EQ(r.status, 1) << option;
    EXPECT_EQ(r.out, "Unkown how to handle 'd' at line 1\n") << option;
  }
  RunResult r = run_qbkit({"-c", "s.txt", "-thug1"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(dir.read("s.txt.qb"), std::string("\x3c\x01\x3e\x01\x3f\x01\x3d\x00", 8));
  // Options count in slot 3 only: here the file to compile is named -thug1.
  RunResult swapped = run_qbkit({"-c", "-thug1", "s.txt"}, dir.path());
  EXPECT_EQ(swapped.status, 1);
  EXPECT_EQ(swapped.out, "Couldn't open file!");
  // Standard error says how to put it right; the compiler ignores -debug.
  EXPECT_TRUE(swapped.err.ends_with("qbkit: note: options go after the file name: " + program_name() +
                                    " -c s.txt -thug1\n"))
      << swapped.err;
  swapped = run_qbkit({"-c", "-debug", "s.txt"}, dir.path());
  EXPECT_TRUE(swapped.err.ends_with("qbkit: note: options go after the file name, and -c takes only -thug1: " +
                                    program_name() + " -c s.txt\n"))
      << swapped.err;
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
  EXPECT_EQ(r.out, "THIS FUNCTION IS DEPRECATED...\nCouldn't create table file!\n");
}

}  // namespace
}  // namespace qbkit::test
