// End-to-end: one member per name. `update` finds a member however its path is typed, two
// entries that extraction writes to one file are reported, and names that cannot serve as
// file names on the game's system are never stored.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/archive_files.h"
#include "cli/cli_util.h"
#include "common/format.h"
#include "common/name_checksum.h"

namespace qbkit::test {
namespace {

namespace fs = std::filesystem;

std::string list_line(const std::string& name) {
  const uint32_t c = name_checksum(name);
  return format("%s 0x%08x\n", name.c_str(), (c >> 24) | ((c >> 8) & 0xFF00) | ((c << 8) & 0xFF0000) | (c << 24));
}

TEST(OneMemberPerName, UpdateFindsTheMemberHoweverItsPathIsTyped) {
  TempDir dir;
  dir.write("scripts/a.qb", "first");
  dir.write("list.txt", "scripts\\a.qb\n");
  ASSERT_EQ(run_qbkit({"-p", "pack", "a.prd", "list.txt"}, dir.path()).status, 0);
  std::vector<std::string> spellings = {"./scripts/a.qb", "scripts//a.qb", "scripts/./a.qb"};
  if (qbkit_is_windows_binary()) spellings.push_back(".\\scripts\\a.qb");  // as PowerShell completes it
  for (const std::string& typed : spellings) {
    dir.write("scripts/a.qb", "edited as " + typed);
    RunResult r = run_qbkit({"-p", "update", "a.prd", typed}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Updating '" + typed + "'\nDone...\n");
    EXPECT_EQ(run_qbkit({"-p", "list", "a.prd"}, dir.path()).out, list_line("scripts\\a.qb")) << typed;
  }
  // A file that names no member is added under the name the game looks up.
  dir.write("scripts/new.qb", "new");
  RunResult r = run_qbkit({"-p", "update", "a.prd", "./scripts//new.qb"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Adding './scripts//new.qb'\nDone...\n");
  EXPECT_EQ(run_qbkit({"-p", "list", "a.prd"}, dir.path()).out, list_line("scripts\\a.qb") + list_line("scripts/new.qb"));

  TempDir out;
  fs::copy_file(dir / "a.prd", out / "a.prd");
  ASSERT_EQ(run_qbkit({"-p", "x", "a.prd"}, out.path()).status, 0);
  EXPECT_EQ(out.read("scripts/a.qb"), "edited as " + spellings.back());
  EXPECT_EQ(out.read("scripts/new.qb"), "new");
}

TEST(OneMemberPerName, TwoEntriesForOneFileAreReported) {
  TempDir dir;
  ASSERT_EQ(run_qbkit({"-p", "new", "a.prd"}, dir.path()).status, 0);
  dir.write("d/m.qb", "one");
  RunResult r = run_qbkit({"-p", "add", "a.prd", "d/m.qb", "0"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  dir.write("d\\m.qb", "two");
  r = run_qbkit({"-p", "addx", "a.prd", "d\\m.qb", "0"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Adding 'd\\m.qb'\nDone...\n");
  EXPECT_EQ(r.err,
            "Warning: 'a.prd' already holds a member 'd/m.qb' of this name; the game may read either entry. To "
            "replace a member, use update.\n");
  // Both entries stay; extraction writes them in order and names both.
  TempDir out;
  fs::copy_file(dir / "a.prd", out / "a.prd");
  r = run_qbkit({"-p", "x", "a.prd"}, out.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Warning: members 'd/m.qb' and 'd\\m.qb' are both extracted to 'd/m.qb'; the later one is kept\n");
  EXPECT_EQ(out.read("d/m.qb"), "two");

  // Names that differ in case only are one file where the file system ignores case.
  TempDir cased;
  cased.write("c.prd", archive_with({{"A.qb", "upper"}, {"a.qb", "lower"}}));
  r = run_qbkit({"-p", "x", "c.prd"}, cased.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, qbkit_is_windows_binary()
                       ? "Warning: members 'A.qb' and 'a.qb' are both extracted to 'a.qb'; the later one is kept\n"
                       : "");
}

// Two files that name one member, whatever their spelling: update would keep one in silence.
// A name that is not its own tidied form is stored as typed, and the game never finds it.
TEST(OneMemberPerName, TwoFilesForOneMemberAndNamesTheGameCannotFind) {
  TempDir dir;
  dir.write("scripts/a.qb", "a");
  dir.write("Scripts/A.qb", "A");
  dir.write("new/b.qb", "b");
  dir.write("list.txt", "scripts\\a.qb\n");
  ASSERT_EQ(run_qbkit({"-p", "pack", "a.prd", "list.txt"}, dir.path()).status, 0);
  const std::string archive = dir.read("a.prd");
  // One member of the archive, and one new member.
  for (const auto& [first, second] : std::vector<std::pair<std::string, std::string>>{
           {"scripts/a.qb", "Scripts/A.qb"}, {"new/b.qb", "./new//b.qb"}}) {
    const RunResult r = run_qbkit({"-p", "update", "a.prd", first, second}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "'" + first + "' and '" + second + "' name the same member; nothing was changed\n");
    EXPECT_EQ(r.err, r.out);
  }
  EXPECT_EQ(dir.read("a.prd"), archive);

  const RunResult r = run_qbkit({"-p", "addx", "a.prd", "./scripts//a.qb", "0"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "Warning: the game looks members up by their tidied name 'scripts/a.qb' and will never find "
            "'./scripts//a.qb'\n");
  EXPECT_EQ(run_qbkit({"-p", "list", "a.prd"}, dir.path()).out, list_line("scripts\\a.qb") + list_line("./scripts//a.qb"));
}

// A name holding a control byte is refused with the unsafe-name message (the byte shown as
// \xNN), before anything is read or written.
TEST(StoredNames, ControlBytesAreRefused) {
  TempDir dir;
  ASSERT_EQ(run_qbkit({"-p", "new", "a.prd"}, dir.path()).status, 0);
  const std::string empty = dir.read("a.prd");
  dir.write("a.qb", "data");
  // A zero byte in a list line: the file before it would be read, the whole line checksummed.
  dir.write("list.txt", std::string("a.qb\0junk 0x00000000\n", 21));
  RunResult r = run_qbkit({"-p", "pack", "a.prd", "list.txt"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Refusing unsafe member name 'a.qb\\x00junk'\n");
  for (const char* word : {"add", "addx", "update"}) {
    for (const std::string name : {"a\tb\x1b.qb", "d\x7f.qb"}) {
      std::vector<std::string> args = {"-p", word, "a.prd", name};
      if (word != std::string("update")) args.push_back("0");
      r = run_qbkit(args, dir.path());
      EXPECT_EQ(r.status, 1) << word;
      EXPECT_EQ(r.out, "Refusing unsafe member name '" + show_control_bytes(name) + "'\n") << word;
      EXPECT_EQ(r.err, r.out);  // a new error, also on standard error when standard output is redirected
    }
  }
  EXPECT_EQ(dir.read("a.prd"), empty);
}

// The game runs on Windows: every command that stores members refuses, on every platform,
// names that Windows cannot hold as files. Extraction elsewhere still takes them.
TEST(StoredNames, NamesWindowsCannotHoldAreRefusedEverywhere) {
  TempDir dir;
  ASSERT_EQ(run_qbkit({"-p", "new", "a.prd"}, dir.path()).status, 0);
  const std::string empty = dir.read("a.prd");
  for (std::string name : {"CON", "aux.qb", "s/nul.qb", "COM1", "LPT9.qb", "a.", "dir./x.qb", "x.qb ", "a<b.qb",
                           "CONIN$", "conout$.qb", "s/Clock$", "COM0", "lpt0.qb", "COM\xC2\xB9", "lpt\xC2\xB3.qb"}) {
    RunResult r = run_qbkit({"-p", "addx", "a.prd", name, "0"}, dir.path());
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_EQ(r.out, "Refusing unsafe member name '" + name + "'\n");
  }
  // The superscripts in their single bytes, as a member list holds them.
  for (std::string name : {"COM\xB9", "s/lpt\xB2.qb"}) {
    dir.write("list.txt", name + "\n");
    RunResult r = run_qbkit({"-p", "pack", "a.prd", "list.txt"}, dir.path());
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_EQ(r.out, "Refusing unsafe member name '" + name + "'\n");
  }
  for (std::string name : {"aux.qb", "s/nul.qb", "a."}) {
    dir.write("list.txt", name + "\n");
    for (std::vector<std::string> args : {std::vector<std::string>{"-p", "add", "a.prd", name, "0"},
                                          {"-p", "update", "a.prd", name},
                                          {"-p", "pack", "a.prd", "list.txt"}}) {
      RunResult r = run_qbkit(args, dir.path());
      EXPECT_EQ(r.status, 1) << args[1] << " " << name;
      EXPECT_EQ(r.out, "Refusing unsafe member name '" + name + "'\n");
    }
  }
  EXPECT_EQ(dir.read("a.prd"), empty);

  if (qbkit_is_windows_binary()) return;
  TempDir out;
  out.write("m.prd", archive_with({{"CON", "1"}, {"s\\nul.qb", "2"}, {"a.", "3"}}));
  EXPECT_EQ(run_qbkit({"-p", "x", "m.prd"}, out.path()).status, 0);
  EXPECT_EQ(out.read("CON"), "1");
  EXPECT_EQ(out.read("s/nul.qb"), "2");
  EXPECT_EQ(out.read("a."), "3");
}

}  // namespace
}  // namespace qbkit::test
