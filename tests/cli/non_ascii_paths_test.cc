// End-to-end: every path reaches the system as typed, whatever its letters, on Linux and on
// Windows (these tests run against qbkit.exe under Wine in code page 1252, where the letters
// outside the code page used to turn into look-alikes and the accented ones into two letters
// each). Names that qbkit reads from files are UTF-8; one that is not is read as
// Windows-1252 where it must become a path on Windows. A console shows paths as typed.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "cli/cli_util.h"
#include "support/archive_files.h"
#include "support/profile_stream.h"

namespace qbkit::test {
namespace {

namespace fs = std::filesystem;

// Accented letters, Greek, Cyrillic, CJK and an emoji.
const std::vector<std::string> kNames = {"pausé", "Ωμέγα", "Кириллица", "日本語", "🛹"};

// A path as the user types it for qbkit: for a Windows binary, a Windows path on drive Z:,
// which Wine maps to the Unix root.
std::string absolute_argument(const fs::path& path) {
  if (!qbkit_is_windows_binary()) return path.string();
  std::string windows = "Z:" + path.string();
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return windows;
}

std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }

// The script modes, on a file in a folder named in other letters, by a relative and by an
// absolute path: the table file, the QB file and the raw table land under the names typed,
// and the text's %include line finds its table file.
TEST(NonAsciiPaths, ScriptModesWriteAndFindTheirFilesAsTyped) {
  for (const std::string& name : kNames) {
    SCOPED_TRACE(name);
    TempDir dir;
    const Bytes qb = generate_profile_stream(3000, 21);
    const std::string rel = name + " 2024/" + name + ".qb";
    dir.write(rel, qb);
    for (const std::string& path : {rel, absolute_argument(dir / rel)}) {
      const RunResult d = run_qbkit({"-d", path}, dir.path());
      ASSERT_EQ(d.status, 0) << d.out;
      EXPECT_NE(d.out.find("%include \"" + path + "_table.qbi\""), std::string::npos);
      EXPECT_TRUE(dir.exists(rel + "_table.qbi"));
      dir.write(rel + "s", d.out);
      const RunResult c = run_qbkit({"-c", path + "s"}, dir.path());
      EXPECT_EQ(c.status, 0) << c.out;
      EXPECT_EQ(dir.read(rel + "s.qb"), text(qb));
      EXPECT_EQ(run_qbkit({"-t", path}, dir.path()).status, 0);
      EXPECT_TRUE(dir.exists(rel + ".tab"));
      fs::remove(dir / (rel + ".tab"));
    }
  }
}

// The archive commands: archives, member files, member names and member lists in other
// letters. Member names are stored as typed, in UTF-8.
TEST(NonAsciiPaths, ArchiveCommandsTakeEveryNameAsTyped) {
  for (const std::string& name : kNames) {
    SCOPED_TRACE(name);
    TempDir dir;
    const std::string member = name + "/" + name + ".qb";
    const std::string archive = name + " 2024/" + name + ".prd";
    dir.write(member, "first");
    dir.write(archive, "");
    ASSERT_EQ(run_qbkit({"-p", "new", archive}, dir.path()).status, 0);
    ASSERT_EQ(run_qbkit({"-p", "add", archive, member, "0"}, dir.path()).status, 0);
    dir.write(member, "second");
    EXPECT_EQ(run_qbkit({"-p", "update", absolute_argument(dir / archive), member}, dir.path()).out,
              "Updating '" + member + "'\nDone...\n");
    EXPECT_EQ(run_qbkit({"-p", "list", archive}, dir.path()).out.substr(0, member.size() + 1), member + " ");
    dir.write(name + ".txt", member + "\n");
    EXPECT_EQ(run_qbkit({"-p", "pack", name + ".prd", name + ".txt"}, dir.path()).status, 0);
    TempDir out;
    fs::copy_file(dir / archive, out / "a.prd");
    EXPECT_EQ(run_qbkit({"-p", "x", "a.prd"}, out.path()).status, 0);
    EXPECT_EQ(out.read(member), "second");
    out.write(name + ".bin", std::string("\xFF" "abcdefgh", 9));
    EXPECT_EQ(run_qbkit({"-p", "jdc", name + ".bin"}, out.path()).status, 0);
    EXPECT_EQ(out.read("uncomp.bin"), "abcdefgh");
  }
}

// The whole-mod commands walk folders: the names found there come back as typed, so build
// knows its members and --refs names the files it searched.
TEST(NonAsciiPaths, FoldersAreWalkedUnderTheirOwnNames) {
  for (const std::string& name : kNames) {
    SCOPED_TRACE(name);
    TempDir dir;
    dir.write("a.prd", archive_file({{name + "\\" + name + ".qb", generate_profile_stream(500, 5)}}));
    ASSERT_EQ(run_qbkit({"-p", "unpack", "a.prd", name}, dir.path()).status, 0);
    const RunResult build = run_qbkit({"-p", "build", name, "a.prd"}, dir.path());
    EXPECT_EQ(build.status, 0) << build.out;
    EXPECT_EQ(build.out, "0 members changed\n");
    dir.write(name + "/" + name + ".qbi", "#addx \"Kickflip\"\n");
    EXPECT_EQ(run_qbkit({"--refs", "kickflip", name}, dir.path()).out, name + "/" + name + ".qbi:1:1: declaration\n");
  }
}

// Names written by the game's own tools hold single bytes (Windows-1252): on Windows, such a
// member name, member list line or %include line names the file whose name holds those
// letters; elsewhere the bytes are the name.
TEST(NonAsciiPaths, StoredNamesThatAreNotUtf8AreReadAsWindows1252) {
  const bool windows = qbkit_is_windows_binary();
  const std::string stored = "caf\xE9/men\xFA.qb";
  const std::string on_disk = windows ? "café/menú.qb" : stored;
  TempDir dir;
  dir.write("a.prd", archive_with({{stored, "from the archive"}}));
  EXPECT_EQ(run_qbkit({"-p", "x", "a.prd"}, dir.path()).status, 0);
  EXPECT_EQ(dir.read(on_disk), "from the archive");
  dir.write("list.txt", stored + "\n");
  const RunResult pack = run_qbkit({"-p", "pack", "b.prd", "list.txt"}, dir.path());
  EXPECT_EQ(pack.status, 0) << pack.out;
  dir.write(windows ? "tablé.qbi" : "tabl\xE9.qbi", "#addx 0x00000001 \"a\"\n");
  dir.write("s.txt", "%include \"tabl\xE9.qbi\"\n:i $a$\n");
  const RunResult c = run_qbkit({"-c", "s.txt"}, dir.path());
  EXPECT_EQ(c.status, 0) << c.out;
}

// On a terminal (a console on Windows), a message shows the path as it was typed.
TEST(NonAsciiPaths, AConsoleShowsPathsAsTyped) {
  TempDir dir;
  const RunResult r = run_qbkit({"-p", "list", "Été 日本.prd"}, dir.path(), {Stdout::kTerminal});
  EXPECT_EQ(r.status, 2);
  // Wine's console draws with escape sequences and ends lines in "\r\n".
  const std::string shown = std::regex_replace(r.out, std::regex("\x1b\\[[0-9;?]*[A-Za-z]|\r"), "");
  EXPECT_NE(shown.find("Couldn't open file 'Été 日本.prd' for reading!\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace qbkit::test
