// The modder's workflow of the README, end to end on the bundled example: from an archive to
// an archive. The same steps run against the Linux binary and, through Wine, against the
// Windows one; there the member names use backslashes, as the README's Windows commands do.
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

std::string list_line(const std::string& name) {
  char shown[16];
  std::snprintf(shown, sizeof shown, "0x%08x", pre::shown_checksum(name_checksum(name)));
  return name + " " + shown + "\n";
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

TEST(Workflow, FromAnArchiveToAnArchive) {
  const std::string original = bundled_example();
  ASSERT_FALSE(original.empty());
  const std::string sep = qbkit_is_windows_binary() ? "\\" : "/";
  const std::string member = "scripts" + sep + "game" + sep + "example.qb";
  const std::string on_disk = "scripts/game/example.qb";
  TempDir dir;

  // A practice archive holding the example, as the game's archives hold their scripts.
  dir.write(on_disk, original);
  ASSERT_EQ(run_qbkit({"-p", "new", "original.prd"}, dir.path()).status, 0);
  expect_added(run_qbkit({"-p", "add", "original.prd", member, "0"}, dir.path()), member);
  fs::remove_all(dir / "scripts");

  // 1. List and extract.
  RunResult r = run_qbkit({"-p", "list", "original.prd"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, list_line(member));
  dir.write("members.txt", r.out);
  const std::string size = std::to_string(fs::file_size(dir / "original.prd"));
  r = run_qbkit({"-p", "x", "original.prd"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Loading 'original.prd'... " + size + " bytes read - " + size + " bytes wanted\n"
                   "Extracting '" + member + "'...\n");
  ASSERT_EQ(dir.read(on_disk), original);

  // 2. Decompile: the text goes to standard output (the README redirects it to a file), the
  // table file lands beside the script, and the text includes it by the path given.
  r = run_qbkit({"-d", member}, dir.path());
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(r.out.starts_with("#/ QB Script version 2\n%include \"" + member + "_table.qbi\"")) << r.out;
  EXPECT_EQ(r.out.find('\r'), std::string::npos);
  EXPECT_TRUE(dir.exists(on_disk + "_table.qbi"));
  std::string text = r.out;
  dir.write("example.qbs", text);

  // 3. Unedited, the text compiles back to the very same bytes.
  const std::string including = "Including: '" + member + "_table.qbi'\n...done.\n";
  r = run_qbkit({"-c", "example.qbs"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, including);
  EXPECT_EQ(dir.read("example.qbs.qb"), original);

  // 4. Edit and compile: every "Paused" string becomes "Resting", one byte longer each.
  const size_t edits = replace_all(text, "\"Paused\"", "\"Resting\"");
  ASSERT_GT(edits, 0u);
  dir.write("example.qbs", text);
  r = run_qbkit({"-c", "example.qbs"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, including);
  const std::string edited = dir.read("example.qbs.qb");
  EXPECT_EQ(edited.size(), original.size() + edits);
  EXPECT_NE(edited.find("Resting"), std::string::npos);
  EXPECT_EQ(edited.find("Paused"), std::string::npos);

  // 5. The new script over the extracted member, then the archive updated in place, or
  // packed again from the member list.
  fs::copy_file(dir / "example.qbs.qb", dir / on_disk, fs::copy_options::overwrite_existing);
  fs::copy_file(dir / "original.prd", dir / "mod.prd");
  r = run_qbkit({"-p", "update", "mod.prd", on_disk}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Updating '" + on_disk + "'\nDone...\n");
  r = run_qbkit({"-p", "pack", "rebuilt.prd", "members.txt"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Packing '" + member + "'\nDone...\n");

  // Both archives hold the edited script under the member's own name.
  for (const char* archive : {"mod.prd", "rebuilt.prd"}) {
    EXPECT_EQ(run_qbkit({"-p", "list", archive}, dir.path()).out, list_line(member));
    TempDir fresh;
    fs::copy_file(dir / archive, fresh / archive);
    EXPECT_EQ(run_qbkit({"-p", "x", archive}, fresh.path()).status, 0);
    EXPECT_EQ(fresh.read(on_disk), edited);
  }

  // 6. A new function under a new name, declared with the line -k prints, called from
  // pause_menu; compiled, and the archive updated again.
  r = run_qbkit({"-k", "spin_faster"}, dir.path());
  EXPECT_EQ(r.status, 0);
  const uint32_t spin_faster = name_checksum("spin_faster");
  char line[64];
  std::snprintf(line, sizeof line, "#addx 0x%08x \"spin_faster\"\n", spin_faster);
  EXPECT_EQ(r.out, line);
  dir.write(on_disk + "_table.qbi", dir.read(on_disk + "_table.qbi") + r.out);
  ASSERT_EQ(replace_all(text, "\t:i $count$ = %i(3,00000003)\n", "\t:i $count$ = %i(3,00000003)\n\t:i $spin_faster$\n"), 1u);
  ASSERT_EQ(replace_all(text, "\n:i :end\n",
                        "\n:i function $spin_faster$\n\t:i $speed$ = %f(3.000000)\n:i endfunction\n:i :end\n"), 1u);
  dir.write("example.qbs", text);
  r = run_qbkit({"-c", "example.qbs"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, including);
  EXPECT_EQ(r.err, "");  // every checksum is the game's
  fs::copy_file(dir / "example.qbs.qb", dir / on_disk, fs::copy_options::overwrite_existing);
  r = run_qbkit({"-p", "update", "mod.prd", on_disk}, dir.path());
  EXPECT_EQ(r.out, "Updating '" + on_disk + "'\nDone...\n");

  // The member decompiles to the text with the new function (the string lengths counted
  // again), and names it in its table.
  TempDir fresh;
  fs::copy_file(dir / "mod.prd", fresh / "mod.prd");
  ASSERT_EQ(run_qbkit({"-p", "x", "mod.prd"}, fresh.path()).status, 0);
  r = run_qbkit({"-d", member}, fresh.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(replace_all(text, "%s(6,\"Resting\")", "%s(7,\"Resting\")"), edits);
  EXPECT_EQ(r.out, text);
  EXPECT_TRUE(fresh.read(on_disk + "_table.qbi").ends_with(line));
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
