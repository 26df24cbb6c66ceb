// Failures never damage files that were there before, never leave a half-written file, and
// never write outside the working directory.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "cli/cli_util.h"
#include "pre/archive.h"

namespace qbkit::test {
namespace {

namespace fs = std::filesystem;

// Runs qbkit in `dir` with files limited to `max_kib` KiB, as on a full disk: a write past
// the limit fails, and qbkit, which ignores SIGXFSZ, sees a write error instead of dying.
RunResult run_with_file_limit(const std::vector<std::string>& args, const fs::path& dir, int max_kib) {
  // Wine itself would die of SIGXFSZ: for a Windows binary the shell ignores it for it.
  const std::string ignore = qbkit_is_windows_binary() ? "trap '' XFSZ; " : "";
  std::string command = "cd '" + dir.string() + "' && (" + ignore + "ulimit -f " + std::to_string(max_kib) + "; exec";
  for (const std::string& word : qbkit_command()) command += " '" + word + "'";
  for (const std::string& a : args) command += " '" + a + "'";
  command += ") 2>/dev/null";
  RunResult r;
  std::FILE* p = popen(command.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int status = pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string big_text(size_t bytes) {
  std::string s;
  while (s.size() < bytes) s += ":i %i(" + std::to_string(s.size()) + ",0) %s(0,\"some text to fill the file\")\n";
  return s;
}

TEST(NoDataLost, FailedCompileKeepsTheOldQbFile) {
  TempDir dir;
  dir.write("x.txt", ":i %i(1,1) :i bogus\n");
  dir.write("x.txt.qb", "old contents");
  RunResult r = run_qbkit({"-c", "x.txt"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Unkown how to handle 'b' at line 1\n");
  EXPECT_EQ(dir.read("x.txt.qb"), "old contents");
  EXPECT_EQ(dir.read("temp.dump"), std::string("\x01\x17\x01\x00\x00\x00\x01", 7));
}

TEST(NoDataLost, CompileOnAFullDiskKeepsTheOldQbFile) {
  TempDir dir;
  dir.write("x.txt", big_text(40000));
  dir.write("x.txt.qb", "old contents");
  RunResult r = run_with_file_limit({"-c", "x.txt"}, dir.path(), 8);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Couldn't create file 'x.txt.qb'!\n");
  EXPECT_EQ(dir.read("x.txt.qb"), "old contents");
  for (const std::string& name : files_in(dir.path())) EXPECT_EQ(name.find("tmp"), std::string::npos) << name;
}

TEST(NoDataLost, AppendOnAFullDiskKeepsTheOldArchive) {
  TempDir dir;
  ASSERT_EQ(run_qbkit({"-p", "new", "a.prd"}, dir.path()).status, 0);
  dir.write("small.qb", std::string(100, 'a'));
  ASSERT_EQ(run_qbkit({"-p", "addx", "a.prd", "small.qb", "0"}, dir.path()).status, 0);
  const std::string before = dir.read("a.prd");
  dir.write("big.qb", big_text(64 * 1024));
  RunResult r = run_with_file_limit({"-p", "addx", "a.prd", "big.qb", "0"}, dir.path(), 16);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "Adding 'big.qb'\nCouldn't open file 'a.prd'!\n");
  EXPECT_EQ(dir.read("a.prd"), before);
  EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"a.prd", "big.qb", "small.qb"}));
}

TEST(NoDataLost, MemberThatDoesNotDecodeStopsExtractionBeforeAnyFile) {
  TempDir dir;
  ASSERT_EQ(run_qbkit({"-p", "new", "a.prd"}, dir.path()).status, 0);
  dir.write("one.qb", big_text(3000));
  dir.write("two.qb", big_text(3000));
  ASSERT_EQ(run_qbkit({"-p", "add", "a.prd", "one.qb", "0"}, dir.path()).status, 0);
  ASSERT_EQ(run_qbkit({"-p", "add", "a.prd", "two.qb", "0"}, dir.path()).status, 0);
  fs::remove(dir / "one.qb");
  fs::remove(dir / "two.qb");
  // Claim a larger uncompressed size for the second member than its stream gives.
  std::string archive = dir.read("a.prd");
  size_t second = archive.find("two.qb") - 16;
  archive[second + 1] = static_cast<char>(archive[second + 1] + 1);  // +256 bytes
  dir.write("a.prd", archive);

  RunResult r = run_qbkit({"-p", "x", "a.prd"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Archive 'a.prd' is damaged: member 2 does not decode to its size\n"), std::string::npos)
      << r.out;
  EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"a.prd"}));
}

TEST(NoDataLost, ExtractionOnAFullDiskChangesNothing) {
  TempDir dir;
  ASSERT_EQ(run_qbkit({"-p", "new", "a.prd"}, dir.path()).status, 0);
  dir.write("keep.qb", "new member");
  dir.write("d/m.qb", big_text(64 * 1024));
  ASSERT_EQ(run_qbkit({"-p", "addx", "a.prd", "keep.qb", "0"}, dir.path()).status, 0);
  ASSERT_EQ(run_qbkit({"-p", "add", "a.prd", "d/m.qb", "0"}, dir.path()).status, 0);
  fs::remove_all(dir / "d");
  dir.write("keep.qb", "old member");
  // The second member fails to be written: the first, written already, is not put in place.
  RunResult r = run_with_file_limit({"-p", "x", "a.prd"}, dir.path(), 16);
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.out.ends_with("Extracting 'keep.qb'...\nExtracting 'd/m.qb'...\nCouldn't open file 'd/m.qb'!\n")) << r.out;
  EXPECT_EQ(dir.read("keep.qb"), "old member");
  EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"a.prd", "keep.qb"}));
}

TEST(NoDataLost, ReadOnlyDirectoryFailsWithAMessage) {
  TempDir dir;
  dir.write("ro/x.txt", ":i :end\n");
  dir.write("ro/y.qb", std::string("\x01\x00", 2));
  // Root writes anyway: qbkit runs as a user without privileges.
  if (const std::optional<std::string> why = why_no_unprivileged_runs()) GTEST_SKIP() << "skipped: " << *why;
  const fs::perms read_only = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
  fs::permissions(dir / "ro", read_only);
  const RunOptions unprivileged{.unprivileged = true};
  RunResult c = run_qbkit({"-c", "x.txt"}, dir / "ro", unprivileged);
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.out, "Couldn't create file 'x.txt.qb'!\n");
  RunResult d = run_qbkit({"-d", "y.qb"}, dir / "ro", unprivileged);
  EXPECT_EQ(d.status, 1);
  EXPECT_TRUE(d.out.ends_with("#/ END\nCouldn't create table file!\n")) << d.out;
  RunResult p = run_qbkit({"-p", "new", "a.prd"}, dir / "ro", unprivileged);
  EXPECT_EQ(p.status, 2);
  EXPECT_EQ(p.out, "Couldn't open file 'a.prd'!\n");
  fs::permissions(dir / "ro", fs::perms::owner_all);
  EXPECT_EQ(files_in(dir / "ro"), (std::vector<std::string>{"x.txt", "y.qb"}));
}

TEST(NoDataLost, OutputPathTakenByADirectoryFailsWithAMessage) {
  TempDir dir;
  dir.write("x.txt", ":i :end\n");
  fs::create_directory(dir / "x.txt.qb");
  RunResult c = run_qbkit({"-c", "x.txt"}, dir.path());
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.out, "Couldn't create file 'x.txt.qb'!\n");
  EXPECT_TRUE(fs::is_directory(dir / "x.txt.qb"));
  EXPECT_FALSE(dir.exists("temp.dump"));  // refused before the compile
}

}  // namespace
}  // namespace qbkit::test
