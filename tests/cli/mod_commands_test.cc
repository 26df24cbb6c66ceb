// End-to-end: a whole mod in two commands (unpack, build), and verify, diff and --refs, on a
// generated script archive that holds a script of each layout, one that does not decompile,
// one that decompiles but does not compile back, and a member that is no script.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>

#include "cli/cli_util.h"
#include "qb/tokens.h"
#include "support/archive_files.h"
#include "support/profile_stream.h"
#include "support/qb_stream.h"

namespace qbkit::test {
namespace {

namespace fs = std::filesystem;

const std::string kStd = "scripts\\game\\std.qb";
const std::string kThug = "scripts\\game\\thug.qb";
const std::string kBadLine = "'scripts\\bad.qb': does not decompile: no token can be read at byte 00000001\n";

std::string as_string(const Bytes& b) { return std::string(b.begin(), b.end()); }

std::string script_archive() {
  return as_string(archive_file({
      {kStd, generate_profile_stream(3000, 7, Switches::kStandard)},
      {kThug, generate_profile_stream(3000, 8, Switches::kThug1)},
      {"scripts\\bad.qb", {qb::kLineBreak, 0xFF}},
      // A name without its record: the text shows its checksum, which no table declares.
      {"scripts\\unnamed.qb", QbStream().op(qb::kLineBreak).op32(qb::kName, 0x12345678).op(qb::kEnd).take()},
      {"data\\notes.txt", Bytes{'n', 'o', 't', 'e', 's'}},
  }));
}

// A folder with the archive a.prd unpacked into mod/.
struct Unpacked {
  TempDir dir;
  std::string archive = script_archive();
  RunResult unpack;
  Unpacked() {
    dir.write("a.prd", archive);
    unpack = run_qbkit({"-p", "unpack", "a.prd", "mod", "-q"}, dir.path());
  }
  // Replaces the first `from` in the text at `path` by `to`.
  void edit(const std::string& path, const std::string& from, const std::string& to) const {
    std::string text = dir.read(path);
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    dir.write(path, text.replace(at, from.size(), to));
  }
};

TEST(ModCommands, UnpackWritesEveryMemberAndEachScriptsTextAndTable) {
  const Unpacked u;
  EXPECT_EQ(u.unpack.status, 1);
  EXPECT_EQ(u.unpack.out, kBadLine + "3 scripts decompiled, 1 failed\n");
  EXPECT_EQ(u.unpack.err, kBadLine);
  EXPECT_EQ(files_in(u.dir / "mod"),
            (std::vector<std::string>{"data", "data/notes.txt", "scripts", "scripts/bad.qb", "scripts/game",
                                      "scripts/game/std.qb", "scripts/game/std.qb_table.qbi", "scripts/game/std.qbs",
                                      "scripts/game/thug.qb", "scripts/game/thug.qb_table.qbi",
                                      "scripts/game/thug.qbs", "scripts/unnamed.qb", "scripts/unnamed.qb_table.qbi",
                                      "scripts/unnamed.qbs"}));
  // Each text and table is what -d writes in the member's folder; the first game's script,
  // which the standard layout refuses, is in the THUG1 layout and says so on its first line.
  const fs::path game = u.dir / "mod/scripts/game";
  EXPECT_EQ(run_qbkit({"-d", "thug.qb"}, game).status, 1);
  for (const auto& [file, layout] : {std::pair{"std", ""}, std::pair{"thug", "-thug1"}}) {
    const std::string table = u.dir.read("mod/scripts/game/" + std::string(file) + ".qb_table.qbi");
    std::vector<std::string> args = {"-d", file + std::string(".qb")};
    if (*layout) args.push_back(layout);
    const RunResult d = run_qbkit(args, game);
    ASSERT_EQ(d.status, 0) << file;
    EXPECT_EQ(u.dir.read("mod/scripts/game/" + std::string(file) + ".qbs"), (*layout ? "#/ layout: THUG1\n" : "") + d.out);
    EXPECT_EQ(u.dir.read("mod/scripts/game/" + std::string(file) + ".qb_table.qbi"), table);
  }
  const RunResult again = run_qbkit({"-p", "unpack", "a.prd", "mod"}, u.dir.path());
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.out, "'mod' is not empty; nothing was written\n");
}

TEST(ModCommands, BuildCompilesOnlyEditedTextsAndChangesNothingOnAFailure) {
  const Unpacked u;
  RunResult r = run_qbkit({"-p", "build", "mod", "a.prd"}, u.dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "0 members changed\n");
  EXPECT_EQ(u.dir.read("a.prd"), u.archive);

  // One edit changes exactly that member, to what -c makes of the text: in the THUG1 layout,
  // with the table found beside the text.
  u.edit("mod/scripts/game/thug.qbs", "%i(", "%i(4242,00001092) + %i(");
  r = run_qbkit({"-p", "build", "mod", "a.prd"}, u.dir.path());
  EXPECT_EQ(r.out, "Updating '" + kThug + "'\n1 members changed\n");
  ASSERT_EQ(run_qbkit({"-c", "mod/scripts/game/thug.qbs", "-o", "thug.qb"}, u.dir.path()).status, 0);
  ASSERT_EQ(run_qbkit({"-p", "x", "a.prd", "SCRIPTS/GAME/THUG.QB", kStd, "-q"}, u.dir.path()).status, 0);
  EXPECT_EQ(u.dir.read("scripts/game/thug.qb"), u.dir.read("thug.qb"));
  EXPECT_EQ(u.dir.read("scripts/game/std.qb"), u.dir.read("mod/scripts/game/std.qb"));
  EXPECT_EQ(files_in(u.dir / "scripts"), (std::vector<std::string>{"game", "game/std.qb", "game/thug.qb"}));
  r = run_qbkit({"-p", "verify", "a.prd"}, u.dir.path());
  EXPECT_EQ(r.out, kBadLine + "'scripts\\unnamed.qb': differs from byte 00000002\n4 scripts: 2 identical, 2 differ\n");

  // A text that does not compile: every diagnostic, and the archive as it was.
  const std::string built = u.dir.read("a.prd");
  u.edit("mod/scripts/game/std.qbs", "\n:i :end", "\n:i $nope$\n:i :end");
  const std::string text = u.dir.read("mod/scripts/game/std.qbs");
  const int line = static_cast<int>(std::count(text.begin(), text.begin() + text.find("$nope$"), '\n')) + 1;
  r = run_qbkit({"-p", "build", "mod", "a.prd"}, u.dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.starts_with("mod/scripts/game/std.qbs:" + std::to_string(line) +
                                ":4: error: name 'nope' is unknown")) << r.out;
  EXPECT_EQ(u.dir.read("a.prd"), built);

  u.dir.write("mod/scripts/new.qb", "x");
  r = run_qbkit({"-p", "build", "mod", "a.prd"}, u.dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "'mod/scripts/new.qb' names no member of 'a.prd': add it to the archive with -p add or -p "
                   "update first; nothing was changed\n");
}

TEST(ModCommands, DiffShowsTheChangedTextAndMembers) {
  const Unpacked u;
  const std::vector<std::string> old_lines = [&] {
    std::vector<std::string> lines;
    std::istringstream in(u.dir.read("mod/scripts/game/std.qbs"));
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }();
  const size_t at = static_cast<size_t>(
      std::find_if(old_lines.begin(), old_lines.end(), [](const std::string& l) { return l.find("%i(") != l.npos; }) -
      old_lines.begin());
  ASSERT_GE(at, 3u);
  std::string changed = old_lines[at];
  changed.replace(changed.find("%i("), 3, "%i(77,0000004d) + %i(");
  u.dir.write("b.prd", u.archive);
  u.edit("mod/scripts/game/std.qbs", old_lines[at], changed);
  u.dir.write("mod/data/notes.txt", "more notes");
  ASSERT_EQ(run_qbkit({"-p", "build", "mod", "b.prd"}, u.dir.path()).status, 0);

  std::string hunk = "@@ -" + std::to_string(at - 2) + ",7 +" + std::to_string(at - 2) + ",7 @@\n";
  for (size_t i = at - 3; i <= at + 3; ++i) hunk += (i == at ? "-" : " ") + old_lines[i] + "\n" +
                                                     (i == at ? "+" + changed + "\n" : "");
  RunResult r = run_qbkit({"-p", "diff", "a.prd", "b.prd"}, u.dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "--- a.prd!scripts\\game\\std.qbs\n+++ b.prd!scripts\\game\\std.qbs\n" + hunk +
                       "Changed: data\\notes.txt\n");

  u.dir.write("c.prd", archive_with({{"Data/Notes.txt", "notes"}, {"new.txt", ""}}));
  r = run_qbkit({"-p", "diff", "a.prd", "c.prd"}, u.dir.path());
  EXPECT_EQ(r.out, "Only in OLD: " + kStd + "\nOnly in OLD: " + kThug +
                       "\nOnly in OLD: scripts\\bad.qb\nOnly in OLD: scripts\\unnamed.qb\nOnly in NEW: new.txt\n");
  EXPECT_EQ(run_qbkit({"-p", "diff", "a.prd", "a.prd"}, u.dir.path()).status, 0);
  EXPECT_EQ(run_qbkit({"-p", "diff", "a.prd", "missing.prd"}, u.dir.path()).status, 2);
}

// The same places in the archive and in the folder it was unpacked to, where the table files
// add the declarations; matched whatever the case.
TEST(ModCommands, RefsFindsANameInAnArchiveAndAFolder) {
  const Unpacked u;
  const std::string text = u.dir.read("mod/scripts/game/std.qbs");
  const size_t at = text.find("function $") + 10;
  const std::string name = text.substr(at, text.find('$', at) - at);
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const RunResult in_archive = run_qbkit({"--refs", upper, "a.prd"}, u.dir.path());
  const RunResult in_folder = run_qbkit({"--refs", name, "mod"}, u.dir.path());
  ASSERT_EQ(in_archive.status, 0);
  EXPECT_TRUE(in_archive.out.starts_with("a.prd!scripts\\game\\std.qbs:")) << in_archive.out;
  EXPECT_NE(in_archive.out.find(": definition\n"), std::string::npos);
  std::string from_archive;
  std::istringstream archive_lines(in_archive.out);
  for (std::string l; std::getline(archive_lines, l);) {
    std::replace(l.begin(), l.end(), '\\', '/');
    from_archive += "mod/" + l.substr(6) + "\n";
  }
  std::string without_declarations;
  std::istringstream folder_lines(in_folder.out);
  for (std::string l; std::getline(folder_lines, l);)
    if (!l.ends_with(": declaration")) without_declarations += l + "\n";
  EXPECT_EQ(without_declarations, from_archive);
  EXPECT_NE(in_folder.out.find("mod/scripts/game/std.qb_table.qbi:"), std::string::npos) << in_folder.out;
  EXPECT_EQ(run_qbkit({"--refs", "no_such_name", "a.prd", "mod"}, u.dir.path()).status, 1);
  EXPECT_EQ(run_qbkit({"--refs", name, "missing.prd", "a.prd"}, u.dir.path()).status, 2);
}

// -d and -c write to the file -o names, and refuse an -o that would lose a file.
TEST(ModCommands, OutputFileOfDecompileAndCompile) {
  TempDir dir;
  dir.write("s/x.qb", generate_profile_stream(2000, 3));
  const RunResult text = run_qbkit({"-d", "s/x.qb"}, dir.path());
  RunResult r = run_qbkit({"-d", "s/x.qb", "-o", "x.qbs"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(dir.read("x.qbs"), text.out);
  r = run_qbkit({"-c", "x.qbs", "-thug1", "-o", "y.qb"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.read("y.qb"), dir.read("s/x.qb"));
  for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"-d", "s/x.qb", "-o"}, "-o needs the name of the output file after it; nothing was written\n"},
           {{"-c", "x.qbs", "-o", "x.qbs"}, "'x.qbs' is the file to compile: -o needs another name; nothing was written\n"},
           {{"-d", "s/x.qb", "-debug", "-o", "s/x.qb_table.qbi"},
            "'s/x.qb_table.qbi' is where the table file goes: -o needs another name; nothing was written\n"}}) {
    r = run_qbkit(args, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, message);
    EXPECT_EQ(r.err, message);
  }
  EXPECT_EQ(dir.read("x.qbs"), text.out);
}

}  // namespace
}  // namespace qbkit::test
