// The modder's workflow of the README, end to end on the bundled example: from unpack to
// build. The same steps run against the Linux binary and, through Wine, against the Windows
// one; there the member names use backslashes, as the README's Windows commands do. Under Wine
// the batch file of examples/ runs them too.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli_util.h"
#include "common/bytes.h"
#include "common/name_checksum.h"
#include "support/archive_files.h"

namespace qbkit::test {
namespace {

namespace fs = std::filesystem;

std::string read_whole(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// examples/example.qb of the source tree, found from this file's own path.
std::string bundled_example() {
  fs::path example = fs::path(__FILE__).parent_path().parent_path().parent_path() / "examples" / "example.qb";
  std::string bytes = read_whole(example);
  EXPECT_FALSE(bytes.empty()) << "cannot read " << example;
  return bytes;
}

// Replaces every `from` in `text` by `to`; returns how many there were.
size_t replace_all(std::string& text, const std::string& from, const std::string& to) {
  size_t count = 0;
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()), ++count)
    text.replace(at, from.size(), to);
  return count;
}

// Status 0 and the "Adding" line first, "Done..." last; the statistics line between them
// depends on the codec and is checked by its own tests.
void expect_added(const RunResult& r, const std::string& name) {
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(r.out.starts_with("Adding '" + name + "'\n")) << r.out;
  EXPECT_TRUE(r.out.ends_with("Done...\n")) << r.out;
}

// The practice archive of the README, original.prd, holding the example as `member`.
void make_practice_archive(const TempDir& dir, const std::string& member) {
  dir.write("scripts/game/example.qb", bundled_example());
  ASSERT_EQ(run_qbkit({"-p", "new", "original.prd"}, dir.path()).status, 0);
  expect_added(run_qbkit({"-p", "add", "original.prd", member, "0"}, dir.path()), member);
  fs::remove_all(dir / "scripts");
}

TEST(Workflow, FromUnpackToBuild) {
  const std::string original = bundled_example();
  ASSERT_FALSE(original.empty());
  const std::string sep = qbkit_is_windows_binary() ? "\\" : "/";
  const std::string member = "scripts" + sep + "game" + sep + "example.qb";
  const std::string script = "mod/scripts/game/example.qbs";
  const std::string table = "mod/scripts/game/example.qb_table.qbi";
  TempDir dir;
  make_practice_archive(dir, member);
  fs::copy_file(dir / "original.prd", dir / "mod.prd");

  // 1. Unpack: the member, and beside it its text and its table file.
  const std::string size = std::to_string(fs::file_size(dir / "mod.prd"));
  RunResult r = run_qbkit({"-p", "unpack", "mod.prd", "mod"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Loading 'mod.prd'... " + size + " bytes read - " + size + " bytes wanted\n"
                   "Extracting '" + member + "'...\n1 scripts decompiled\n");
  EXPECT_EQ(dir.read("mod/scripts/game/example.qb"), original);
  std::string text = dir.read(script);
  EXPECT_TRUE(text.starts_with("#/ QB Script version 2\n%include \"example.qb_table.qbi\"")) << text;

  // 2. and 3. Edit, build: only the edited member changes; diff shows the edit, verify finds
  // the archive's scripts whole.
  const size_t edits = replace_all(text, "\"Paused\"", "\"Resting\"");
  ASSERT_GT(edits, 0u);
  dir.write(script, text);
  r = run_qbkit({"-p", "build", "mod", "mod.prd"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Updating '" + member + "'\n1 members changed\n");
  r = run_qbkit({"-p", "diff", "original.prd", "mod.prd"}, dir.path());
  EXPECT_EQ(r.status, 1);
  const std::string shown = "scripts" + sep + "game" + sep + "example.qbs\n";
  EXPECT_TRUE(r.out.starts_with("--- original.prd!" + shown + "+++ mod.prd!" + shown)) << r.out;
  EXPECT_NE(r.out.find("\n-\t:i $title$ = %s(6,\"Paused\")\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n+\t:i $title$ = %s(7,\"Resting\")\n"), std::string::npos) << r.out;
  r = run_qbkit({"-p", "verify", "mod.prd"}, dir.path());
  EXPECT_EQ(r.out, "1 scripts: 1 identical\n");

  // 4. A new function under a new name, declared with the line -k prints and called from
  // pause_menu; built again, and found by --refs.
  r = run_qbkit({"-k", "spin_faster"}, dir.path());
  EXPECT_EQ(r.status, 0);
  char line[64];
  std::snprintf(line, sizeof line, "#addx 0x%08x \"spin_faster\"\n", name_checksum("spin_faster"));
  EXPECT_EQ(r.out, line);
  dir.write(table, dir.read(table) + r.out);
  ASSERT_EQ(replace_all(text, "\t:i $count$ = %i(3,00000003)\n", "\t:i $count$ = %i(3,00000003)\n\t:i $spin_faster$\n"), 1u);
  ASSERT_EQ(replace_all(text, "\n:i :end\n",
                        "\n:i function $spin_faster$\n\t:i $speed$ = %f(3.000000)\n:i endfunction\n:i :end\n"), 1u);
  dir.write(script, text);
  r = run_qbkit({"-p", "build", "mod", "mod.prd"}, dir.path());
  EXPECT_EQ(r.out, "Updating '" + member + "'\n1 members changed\n");
  // Every checksum is the game's; the member file that unpack wrote is older than the archive
  // now, and the text is the source.
  EXPECT_EQ(r.err, "Warning: 'mod/scripts/game/example.qb' differs from the archive's member, but "
                   "'mod/scripts/game/example.qbs' is its source; the member is compiled from the text\n");
  r = run_qbkit({"--refs", "spin_faster", "mod.prd"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("mod.prd!" + shown.substr(0, shown.size() - 1) + ":"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(": definition\n"), std::string::npos) << r.out;

  // The archive unpacks to the edited text (the string lengths counted again) and table.
  ASSERT_EQ(run_qbkit({"-p", "unpack", "mod.prd", "check", "-q"}, dir.path()).status, 0);
  EXPECT_EQ(replace_all(text, "%s(6,\"Resting\")", "%s(7,\"Resting\")"), edits);
  EXPECT_EQ(dir.read("check/scripts/game/example.qbs"), text);
  EXPECT_TRUE(dir.read("check/scripts/game/example.qb_table.qbi").ends_with(line));
}

// examples/mod.bat, the same two commands for a Command Prompt, run by Wine's.
TEST(Workflow, BatchFileUnpacksAndBuilds) {
  if (!qbkit_is_windows_binary()) GTEST_SKIP() << "runs with the Windows binary (make windows-test)";
  TempDir dir;
  make_practice_archive(dir, "scripts\\game\\example.qb");
  const fs::path examples = fs::path(__FILE__).parent_path().parent_path().parent_path() / "examples";
  fs::copy_file(examples / "mod.bat", dir / "mod.bat");
  std::vector<std::string> cmd = qbkit_command();
  fs::copy_file(cmd.back(), dir / "qbkit.exe");
  cmd.back() = "cmd";
  cmd.insert(cmd.end(), {"/c", "mod.bat", "unpack", "original.prd"});
  RunResult r = run_program(cmd, dir.path());
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "1 scripts decompiled\n");
  EXPECT_EQ(dir.read("original.prd.orig"), dir.read("original.prd"));
  std::string text = dir.read("mod/scripts/game/example.qbs");
  ASSERT_GT(replace_all(text, "\"Paused\"", "\"Resting\""), 0u);
  dir.write("mod/scripts/game/example.qbs", text);
  cmd[cmd.size() - 2] = "build";
  r = run_program(cmd, dir.path());
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(r.out.starts_with("Updating 'scripts\\game\\example.qb'\n1 members changed\n--- original.prd.orig!")) << r.out;
  EXPECT_NE(r.out.find("\n+\t:i $title$ = %s(7,\"Resting\")\n"), std::string::npos) << r.out;
}

// A stored member named `name` holding "x", as a whole archive file.
std::string archive_holding(const std::string& name) { return archive_with({{name, "x"}}); }

// Names that reach outside the working directory on Windows are refused on both platforms,
// before anything is written: a drive letter in any part restarts the path on that drive.
// Both separators make directories, whichever platform extracts.
TEST(Workflow, BothSeparatorsMakeDirectories) {
  TempDir dir;
  dir.write("m.prd", archive_holding("one\\two/three.qb"));
  RunResult r = run_qbkit({"-p", "x", "m.prd"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(dir.read("one/two/three.qb"), "x");
}

}  // namespace
}  // namespace qbkit::test
