// End-to-end tests of mode p on the built binary.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "cli/cli_util.h"
#include "commands/commands.h"
#include "common/bytes.h"
#include "common/name_checksum.h"
#include "lzss/plain_encoder.h"
#include "pre/archive.h"
#include "support/archive_files.h"

namespace qbkit::test {
namespace {

const char* kUsage =
    "Usage:\n\tnew filename.prd\n\tadd filename.prd filename.qb magic\n\n"
    "magic = magic value of the QB, use HEX numbers!\nExample:\n\t"
    "-p add qb_scripts.prd scripts\\game\\menu\\gamemenu_pause.qb .\\gamemenu_pause.qb "
    "0x3f142ab9\n";

std::string empty_archive_text() {
  Bytes b = pre::empty_archive();
  return std::string(b.begin(), b.end());
}

std::string script_like(size_t size) {
  std::string s;
  for (size_t i = 0; s.size() < size; ++i)
    s += "\x16\x01\x02\x03\x04 name_" + std::to_string(i % 17) + " = %f(" + std::to_string(i * 0.25) + ")\n";
  s.resize(size);
  return s;
}

std::string shown(const std::string& name) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08x", pre::shown_checksum(name_checksum(name)));
  return buf;
}

std::vector<std::string> entries_of(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
    names.push_back(std::filesystem::relative(e.path(), dir.path()).generic_string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PreCommands, UsageForUnknownWordsAndWrongCounts) {
  TempDir dir;
  for (std::vector<std::string> args :
       {std::vector<std::string>{"-p", "list"}, {"-p", "LIST", "a.prd"}, {"-p", "list", "a", "b"},
        {"-p", "newx", "a.prd"}, {"-p", "add", "a.prd", "b.qb"},
        {"-p", "add", "qb_scripts.prd", "scripts\\game\\menu\\gamemenu_pause.qb", ".\\gamemenu_pause.qb",
         "0x3f142ab9"}}) {
    RunResult r = run_qbkit(args, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kUsage);
  }
  EXPECT_TRUE(entries_of(dir).empty());
}

TEST(PreCommands, NewReplacesAnExistingFile) {
  TempDir dir;
  dir.write("a.prd", std::string(100, 'z'));
  RunResult r = run_qbkit({"-p", "new", "a.prd"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(dir.read("a.prd"), empty_archive_text());
  EXPECT_EQ(run_qbkit({"-p", "new", "missing/a.prd"}, dir.path()).out,
            "Couldn't open file 'missing/a.prd'!\n");
}

TEST(PreCommands, AddListAndExtractRoundTrip) {
  TempDir dir;
  const std::string name = "scripts\\game\\menu\\gamemenu_pause.qb";
  const std::string big = script_like(20000);
  dir.write(name, big);  // a file whose name holds backslashes
  dir.write("empty.qb", "");
  dir.write("plain.qb", "0123456789");
  ASSERT_EQ(run_qbkit({"-p", "new", "a.prd"}, dir.path()).status, 0);
  RunResult r = run_qbkit({"-p", "add", "a.prd", name, "not-a-number"}, dir.path());
  EXPECT_EQ(r.status, 0);
  Bytes stream = lzss::compress_plain_reference(ByteSpan(reinterpret_cast<const uint8_t*>(big.data()), big.size()));
  EXPECT_EQ(r.out, "Adding '" + name + "'\n" + commands::statistics_line(big.size(), stream.size()) + "Done...\n");
  EXPECT_EQ(run_qbkit({"-p", "add", "a.prd", "empty.qb", "0"}, dir.path()).out,
            "Adding 'empty.qb'\nSize: 0 - Compressed: 9 - Rate: -inf%\nDone...\n");
  EXPECT_EQ(run_qbkit({"-p", "addx", "a.prd", "plain.qb", "0"}, dir.path()).out,
            "Adding 'plain.qb'\nDone...\n");

  // The compressed member holds exactly the reference compressor's stream.
  std::string archive = dir.read("a.prd");
  Bytes bytes(archive.begin(), archive.end());
  const std::vector<pre::Member> members = archive_members(bytes);
  ASSERT_EQ(members.size(), 3u);
  EXPECT_EQ(Bytes(members[0].data.begin(), members[0].data.end()), stream);
  EXPECT_EQ(pre::read_archive_header(bytes).total_size, archive.size());

  r = run_qbkit({"-p", "list", "a.prd"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, name + " 0x3f142ab9\nempty.qb " + shown("empty.qb") + "\nplain.qb " +
                       shown("plain.qb") + "\n");

  TempDir out;
  std::filesystem::copy_file(dir / "a.prd", out / "a.prd");
  r = run_qbkit({"-p", "x", "a.prd"}, out.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Loading 'a.prd'... " + std::to_string(archive.size()) + " bytes read - " +
                       std::to_string(archive.size()) + " bytes wanted\nExtracting '" + name +
                       "'...\nExtracting 'empty.qb'...\nExtracting 'plain.qb'...\n");
  EXPECT_EQ(out.read("scripts/game/menu/gamemenu_pause.qb"), big);
  EXPECT_EQ(out.read("empty.qb"), "");
  EXPECT_EQ(out.read("plain.qb"), "0123456789");
  EXPECT_EQ(entries_of(out), (std::vector<std::string>{"a.prd", "empty.qb", "plain.qb", "scripts",
                                                       "scripts/game", "scripts/game/menu",
                                                       "scripts/game/menu/gamemenu_pause.qb"}));
}

TEST(PreCommands, AddToAMissingArchiveCreatesNothing) {
  TempDir dir;
  dir.write("b.qb", std::string(20, 'A'));
  RunResult r = run_qbkit({"-p", "add", "none.prd", "b.qb", "0x0"}, dir.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out,
            "Adding 'b.qb'\nSize: 20 - Compressed: 12 - Rate: 40.000000%\n"
            "Couldn't open file 'none.prd' for reading!\n");
  EXPECT_FALSE(dir.exists("none.prd"));
  r = run_qbkit({"-p", "addx", "none.prd", "missing.qb", "0x0"}, dir.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "Couldn't open QB file 'missing.qb' for reading!\n");
}

TEST(PreCommands, FilesizeMistakeIsRepaired) {
  TempDir dir;
  std::string bad = empty_archive_text();
  bad[0] = 99;
  dir.write("a.prd", bad);
  dir.write("b.qb", "12345678");
  RunResult r = run_qbkit({"-p", "addx", "a.prd", "b.qb", "1"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Adding 'b.qb'\nOh, a filesize mistake...\nDone...\n");
  std::string fixed = dir.read("a.prd");
  EXPECT_EQ(fixed.size(), 12u + 16 + 5 + 8);
  EXPECT_EQ(static_cast<uint8_t>(fixed[0]), fixed.size());
  EXPECT_EQ(run_qbkit({"-p", "x", "a.prd"}, dir.path()).status, 0);
}

TEST(PreCommands, LaterDuplicateMemberWins) {
  TempDir dir;
  run_qbkit({"-p", "new", "a.prd"}, dir.path());
  dir.write("d.qb", "first version");
  run_qbkit({"-p", "add", "a.prd", "d.qb", "0"}, dir.path());
  dir.write("d.qb", "second");
  run_qbkit({"-p", "addx", "a.prd", "d.qb", "0"}, dir.path());
  std::filesystem::remove(dir / "d.qb");
  EXPECT_EQ(run_qbkit({"-p", "x", "a.prd"}, dir.path()).status, 0);
  EXPECT_EQ(dir.read("d.qb"), "second");
}

TEST(PreCommands, ExtractRefusesForeignArchivesAndWritesNothing) {
  TempDir dir;
  dir.write("m.qb", "member");
  run_qbkit({"-p", "new", "a.prd"}, dir.path());
  run_qbkit({"-p", "addx", "a.prd", "m.qb", "0"}, dir.path());
  std::filesystem::remove(dir / "m.qb");
  std::string good = dir.read("a.prd");

  std::string wrong_size = good + "xx";
  dir.write("s.prd", wrong_size);
  RunResult r = run_qbkit({"-p", "x", "s.prd"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Loading 's.prd'... 43 bytes read - 41 bytes wanted\n"
                   "Filesizes don't match, this isn't an originally-Olvex-compressed PRE file!\n");

  std::string wrong_tag = good;
  wrong_tag[4] = 4;
  dir.write("t.prd", wrong_tag);
  r = run_qbkit({"-p", "x", "t.prd"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Loading 't.prd'... 41 bytes read - 41 bytes wanted\n"
                   "This is THUG PRE File - Olvex can only decompress Olvex-Compressed THUG PREs atm!\n");
  // Listing does not check the header.
  EXPECT_EQ(run_qbkit({"-p", "list", "t.prd"}, dir.path()).status, 0);
  EXPECT_FALSE(dir.exists("m.qb"));
}

TEST(PreCommands, UnsafeAndDamagedArchivesLeaveNothingBehind) {
  // Run in a folder of its own, so that a name that climbed out would be seen beside it.
  TempDir outer;
  std::filesystem::create_directory(outer / "work");
  // Windows' ways out (drives, shares, device paths) are refused on every platform.
  for (const std::string bad : {"../escape.qb", "/abs.qb", "\\abs.qb", "C:\\x.qb", "a\\..\\..\\b.qb",
                                "a\\C:\\outside\\x.qb", "a/d:x.qb", "C:x.qb", "\\\\server\\share\\x.qb",
                                "//?/C:/x.qb"}) {
    outer.write("work/u.prd", archive_with({{"ok\\first.qb", "1"}, {bad, "2"}}));
    RunResult r = run_qbkit({"-p", "x", "u.prd"}, outer / "work");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), "Refusing unsafe member name '" + bad + "'\n") << bad;
  }
  EXPECT_EQ(files_in(outer.path()), (std::vector<std::string>{"work", "work/u.prd"}));

  TempDir dir;

  std::string good = archive_with({{"ok\\first.qb", "1"}, {"second.qb", "22"}});
  std::string damaged = good;
  damaged[8] = 3;  // one member more than there is
  dir.write("d.prd", damaged);
  RunResult r = run_qbkit({"-p", "x", "d.prd"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.substr(r.out.find('\n') + 1),
            "Archive 'd.prd' is damaged: member 3 runs past the end of the file\n");
  r = run_qbkit({"-p", "list", "d.prd"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "ok\\first.qb " + shown("ok\\first.qb") + "\nsecond.qb " + shown("second.qb") +
                       "\nArchive 'd.prd' is damaged: member 3 runs past the end of the file\n");

  // A compressed member whose stream ends early: found before any file is written.
  Bytes stream = lzss::compress_plain(Bytes(40, 'k'));
  dir.write("c.prd", archive_file({{"fine.qb", Bytes{'f'}}, {"short.qb", stream, 41}}));
  r = run_qbkit({"-p", "x", "c.prd"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.substr(r.out.find('\n') + 1),
            "Extracting 'fine.qb'...\nExtracting 'short.qb'...\n"
            "Archive 'c.prd' is damaged: member 2 does not decode to its size\n");
  EXPECT_FALSE(dir.exists("fine.qb"));
  EXPECT_FALSE(dir.exists("short.qb"));
}

TEST(PreCommands, MissingInputsAndUnwritableMembers) {
  TempDir dir;
  RunResult r = run_qbkit({"-p", "x", "none.prd"}, dir.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "Loading 'none.prd'... Couldn't open file 'none.prd' for reading!\n");
  r = run_qbkit({"-p", "list", "none.prd"}, dir.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "Couldn't open file 'none.prd' for reading!\n");
  r = run_qbkit({"-p", "jdc", "none.bin"}, dir.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "Unpacking 'none.bin'...\nCouldn't open file 'none.bin' for reading!\n");

  // A regular file stands where a directory of the member's path should be.
  dir.write("blocked", "a file");
  dir.write("b.prd", archive_with({{"blocked\\m.qb", "x"}}));
  r = run_qbkit({"-p", "x", "b.prd"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), "Refusing unsafe member name 'blocked\\m.qb'\n");
  EXPECT_EQ(dir.read("blocked"), "a file");
}

TEST(PreCommands, JdcDecodesARawStream) {
  TempDir dir;
  dir.write("empty.bin", "");
  RunResult r = run_qbkit({"-p", "jdc", "empty.bin"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "Unpacking 'empty.bin'...\nAllocating 0 bytes...\nReading...\nAllocating...\n"
            "Decompressing...\n");
  EXPECT_EQ(dir.read("uncomp.bin"), "");

  const std::string text = script_like(5000);
  Bytes stream = lzss::compress_plain(ByteSpan(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  dir.write("s.bin", stream);
  EXPECT_EQ(run_qbkit({"-p", "jdc", "s.bin"}, dir.path()).status, 0);
  EXPECT_EQ(dir.read("uncomp.bin"), text);
  // A first item that refers before the start reads spaces.
  dir.write("w.bin", Bytes{0xFE, 0xED, 0xF0});
  EXPECT_EQ(run_qbkit({"-p", "jdc", "w.bin"}, dir.path()).status, 0);
  EXPECT_EQ(dir.read("uncomp.bin"), "   ");
}

}  // namespace
}  // namespace qbkit::test
