// The archive commands when a file cannot be written, as on a full disk or in a read-only
// folder, run in-process through a file system that fails on demand (also where the tests run
// with rights that no folder refuses): the cannot-write message with status 2, and every file
// as it was before.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "cli/cli_util.h"
#include "driver/driver.h"
#include "support/failing_file_system.h"

namespace qbkit::test {
namespace {

namespace fs = std::filesystem;

// Runs qbkit in-process with `args` in `dir`, writing through `files`.
RunResult run_through(const TempDir& dir, std::vector<std::string> args, FileSystem& files) {
  const fs::path before = fs::current_path();
  fs::current_path(dir.path());
  std::ostringstream out, err;
  args.insert(args.begin(), "qbkit");
  RunResult r;
  r.status = run_driver(args, Console{out, err, false}, files);
  fs::current_path(before);
  r.out = out.str();
  r.err = err.str();
  return r;
}

// Every file below `dir` with its content.
std::map<std::string, std::string> snapshot(const TempDir& dir) {
  std::map<std::string, std::string> files;
  for (const std::string& name : files_in(dir.path()))
    files[name] = fs::is_directory(dir / name) ? "(folder)" : dir.read(name);
  return files;
}

// An archive of two members, one of them in a folder, and the files the commands read.
void fill(const TempDir& dir) {
  DiskFileSystem disk;
  dir.write("keep.qb", "member kept in the archive");
  dir.write("d/m.qb", std::string(3000, 'm'));
  ASSERT_EQ(run_through(dir, {"-p", "new", "a.prd"}, disk).status, 0);
  ASSERT_EQ(run_through(dir, {"-p", "addx", "a.prd", "keep.qb", "0"}, disk).status, 0);
  ASSERT_EQ(run_through(dir, {"-p", "add", "a.prd", "d/m.qb", "0"}, disk).status, 0);
  ASSERT_EQ(run_through(dir, {"-p", "list", "a.prd"}, disk).status, 0);
  dir.write("members.txt", "keep.qb\nd/m.qb\n");
  dir.write("stream.bin", std::string("\xFF" "abcdefgh", 9));
  fs::remove_all(dir / "d");
  dir.write("keep.qb", "old file in the folder");
}

TEST(FailedWrites, EveryWritingCommandLeavesTheFolderAsItWas) {
  TempDir dir;
  fill(dir);
  dir.write("d/m.qb", "a member file");
  const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
      {{"-p", "new", "a.prd"}, "a.prd"},
      {{"-p", "add", "a.prd", "keep.qb", "0"}, "a.prd"},
      {{"-p", "addx", "a.prd", "keep.qb", "0"}, "a.prd"},
      {{"-p", "update", "a.prd", "keep.qb"}, "a.prd"},
      {{"-p", "pack", "b.prd", "members.txt"}, "b.prd"},
      {{"-p", "jdc", "stream.bin"}, "uncomp.bin"},
  };
  const auto before = snapshot(dir);
  for (const auto& [args, target] : runs) {
    FailingFileSystem read_only(0);
    const RunResult r = run_through(dir, args, read_only);
    EXPECT_EQ(r.status, 2) << args[1];
    EXPECT_TRUE(r.out.ends_with("Couldn't open file '" + target + "'!\n")) << r.out;
    EXPECT_EQ(snapshot(dir), before) << args[1];
  }
}

// The second member cannot be written: the first, written already, is not put in place, and
// the folder made for the second goes again.
TEST(FailedWrites, ExtractionThatFailsPartWayChangesNothing) {
  TempDir dir;
  fill(dir);
  const auto before = snapshot(dir);
  FailingFileSystem full(2);  // keep.qb's temporary and the folder d
  const RunResult r = run_through(dir, {"-p", "x", "a.prd"}, full);
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.out.ends_with("Extracting 'keep.qb'...\nExtracting 'd/m.qb'...\nCouldn't open file 'd/m.qb'!\n"))
      << r.out;
  EXPECT_EQ(snapshot(dir), before);
}

}  // namespace
}  // namespace qbkit::test
