// Text that never reached standard output is a failure, not a success with a shorter text;
// standard error holds the same bytes on every platform.
#include <gtest/gtest.h>

#include "cli/cli_util.h"
#include "support/archive_files.h"

namespace qbkit::test {
namespace {

TEST(StandardOutput, TextThatCannotBeWrittenFailsTheCommand) {
  if (qbkit_is_windows_binary()) GTEST_SKIP() << "Wine stands between the binary and the descriptor";
  TempDir dir;
  dir.write("a.qb", Bytes{0x01, 0x16, 0x01, 0x00, 0x00, 0x00, 0x2b, 0x01, 0x00, 0x00, 0x00, 'a', 0, 0x00});
  ASSERT_EQ(run_qbkit({"-p", "new", "a.prd"}, dir.path()).status, 0);
  ASSERT_EQ(run_qbkit({"-p", "addx", "a.prd", "a.qb", "0"}, dir.path()).status, 0);
  const std::string lost = "Couldn't write to standard output\n";
  for (Stdout where : {Stdout::kFull, Stdout::kClosed}) {
    SCOPED_TRACE(where == Stdout::kFull ? "full device" : "closed");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-d", "a.qb"}, {"-p", "list", "a.prd"}}) {
      const RunResult r = run_qbkit(args, dir.path(), {where});
      EXPECT_EQ(r.status, 1) << args[0] << " " << args[1];
      EXPECT_EQ(r.err, lost);
    }
  }
  // A closed standard output does not hand its slot to a file the command writes.
  ASSERT_EQ(run_qbkit({"-d", "a.qb"}, dir.path(), {Stdout::kClosed}).status, 1);
  EXPECT_EQ(dir.read("a.qb_table.qbi"), "#addx 0x00000001 \"a\"\n");
  // Where standard output takes everything, nothing is said on standard error.
  const RunResult listed = run_qbkit({"-p", "list", "a.prd"}, dir.path());
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.out, "a.qb 0xac936afa\n");
  EXPECT_EQ(listed.err, "");
}

// Line feeds, as on Linux: Windows would write "\r\n" for each one in text mode.
TEST(StandardError, HoldsTheSameBytesOnEveryPlatform) {
  TempDir dir;
  dir.write("a.prd", archive_with({{"a.qb", "1"}, {"a.qb", "2"}, {"b/c.qb", "3"}, {"b\\c.qb", "4"}}));
  const RunResult r = run_qbkit({"-p", "x", "a.prd"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "Warning: members 'a.qb' and 'a.qb' are both extracted to 'a.qb'; the later one is kept\n"
            "Warning: members 'b/c.qb' and 'b\\c.qb' are both extracted to 'b/c.qb'; the later one is kept\n");
}

}  // namespace
}  // namespace qbkit::test
