// End-to-end: an output replaces only what it may. Where an output goes, a device or a FIFO
// (also behind a link) and a file that the user may not write are refused with the mode's
// message for an output it cannot write, before any work, and stay as they were; temp.dump
// is then skipped quietly.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "cli/cli_util.h"
#include "support/archive_files.h"

namespace qbkit::test {
namespace {

namespace fs = std::filesystem;

// A command, the output that it is refused, and what it prints then.
struct RefusedOutput {
  std::vector<std::string> args;
  std::string output;
  std::string out;
  int status;
};

const std::string kArchive = archive_with({{"m.qb", "member"}});

// Every command's outputs; the inputs are those that fill_inputs writes.
std::vector<RefusedOutput> refused_outputs() {
  const std::string size = std::to_string(kArchive.size());
  const std::string loading = "Loading 'a.prd'... " + size + " bytes read - " + size + " bytes wanted\n";
  return {
      {{"-d", "a.qb"}, "a.qb_table.qbi", "Couldn't create table file!\n", 1},
      {{"-c", "s.txt"}, "s.txt.qb", "Couldn't create file 's.txt.qb'!\n", 1},
      {{"-t", "a.qb"}, "a.qb.tab", "THIS FUNCTION IS DEPRECATED...\nCouldn't create table file!\n", 1},
      {{"-p", "jdc", "stream.bin"}, "uncomp.bin", "Unpacking 'stream.bin'...\nCouldn't open file 'uncomp.bin'!\n", 2},
      {{"-p", "new", "n.prd"}, "n.prd", "Couldn't open file 'n.prd'!\n", 2},
      {{"-p", "pack", "p.prd", "list.txt"}, "p.prd", "Couldn't open file 'p.prd'!\n", 2},
      {{"-p", "x", "a.prd"}, "m.qb", loading + "Couldn't open file 'm.qb'!\n", 2},
  };
}

void fill_inputs(const TempDir& dir) {
  dir.write("a.qb", std::string("\x01\x00", 2));
  dir.write("s.txt", ":i :end\n");
  dir.write("bad.txt", ":i %i(1,1) :i bogus\n");
  dir.write("stream.bin", std::string("\xFF" "abcdefgh", 9));
  dir.write("a.prd", kArchive);
  dir.write("pm.qb", "packed");
  dir.write("list.txt", "pm.qb\n");
}

class OutputsThatAreNoFile : public ::testing::TestWithParam<std::string> {};

// The node takes the output's place: directly, or behind a link (the table file linked to
// the null device, as the report had it, but to a private one).
TEST_P(OutputsThatAreNoFile, AreRefusedAndKept) {
  if (qbkit_is_windows_binary()) GTEST_SKIP() << "FIFOs and device nodes are POSIX cases";
  const std::string kind = GetParam();
  for (const RefusedOutput& c : refused_outputs()) {
    if (kind == "a link to a FIFO" && c.args[1] == "x") continue;  // x replaces a link, never follows it
    TempDir dir;
    fill_inputs(dir);
    const fs::path node = kind == "a link to a FIFO" ? dir / "node" : dir / c.output;
    if (kind == "a device") {
      if (mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) GTEST_SKIP() << "mknod needs root";
    } else {
      ASSERT_EQ(mkfifo(node.c_str(), 0666), 0);
    }
    if (kind == "a link to a FIFO") fs::create_symlink("node", dir / c.output);
    const auto before = snapshot(dir.path());
    const RunResult r = run_qbkit(c.args, dir.path(), {.timeout_seconds = 20});
    EXPECT_EQ(r.status, c.status) << c.output;
    EXPECT_EQ(r.out, c.out) << c.output;  // -d prints no text
    EXPECT_EQ(snapshot(dir.path()), before) << c.output;
  }
}

INSTANTIATE_TEST_SUITE_P(Outputs, OutputsThatAreNoFile,
                         ::testing::Values("a FIFO", "a device", "a link to a FIFO"));

// temp.dump is not a file that may be replaced: the failed compile skips it quietly.
TEST(Outputs, ADumpThatIsNoFileIsSkipped) {
  if (qbkit_is_windows_binary()) GTEST_SKIP() << "FIFOs are a POSIX case";
  TempDir dir;
  fill_inputs(dir);
  ASSERT_EQ(mkfifo((dir / "temp.dump").c_str(), 0666), 0);
  const auto before = snapshot(dir.path());
  const RunResult r = run_qbkit({"-c", "bad.txt"}, dir.path(), {.timeout_seconds = 20});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Unkown how to handle 'b' at line 1\n");
  EXPECT_EQ(snapshot(dir.path()), before);
}

// A file that the user may not write, as the system decides it (root may): run as a user
// without privileges. On Windows, the read-only attribute (Wine gives it to a file without
// write permission) refuses it whoever runs.
TEST(Outputs, FilesThatMayNotBeWrittenAreKept) {
  if (const std::optional<std::string> why = why_no_unprivileged_runs()) {
    if (!qbkit_is_windows_binary()) GTEST_SKIP() << "skipped: " << *why;
  }
  const fs::perms read_only = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  std::vector<RefusedOutput> cases = refused_outputs();
  cases.push_back({{"-p", "add", "a.prd", "pm.qb", "0"}, "a.prd", "Couldn't open file 'a.prd'!\n", 2});
  cases.push_back({{"-p", "update", "a.prd", "pm.qb"}, "a.prd", "Couldn't open file 'a.prd'!\n", 2});
  cases.push_back({{"-c", "bad.txt"}, "temp.dump", "Unkown how to handle 'b' at line 1\n", 1});
  for (const RefusedOutput& c : cases) {
    TempDir dir;
    fill_inputs(dir);
    if (!dir.exists(c.output)) dir.write(c.output, "the user's own");
    fs::permissions(dir / c.output, read_only);
    // The folder takes new files from anyone: only the file's own permission stands in the way.
    fs::permissions(dir.path(), fs::perms::all);
    const auto before = snapshot(dir.path());
    const RunResult r = run_qbkit(c.args, dir.path(), {.unprivileged = true});
    EXPECT_EQ(r.status, c.status) << c.output;
    EXPECT_EQ(r.out, c.out) << c.output;
    EXPECT_EQ(snapshot(dir.path()), before) << c.output;
  }
}

}  // namespace
}  // namespace qbkit::test
