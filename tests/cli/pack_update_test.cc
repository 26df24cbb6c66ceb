// End-to-end: `pack` builds an archive in the game's layout from a member list, `update`
// puts new data into the members of an existing archive and keeps every other byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "cli/cli_util.h"
#include "pre/archive.h"
#include "support/lzss_buffers.h"
#include "common/name_checksum.h"
#include "support/script_like_data.h"

namespace qbkit::test {
namespace {

namespace fs = std::filesystem;

Bytes bytes_of(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string text_of(const Bytes& b) { return std::string(b.begin(), b.end()); }

std::string random_bytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

// Members of the archive file in `dir`, read with the library's own walk.
std::vector<pre::Member> members_of(const Bytes& file) {
  pre::MemberWalk walk = pre::walk_members(file, pre::kHeaderSize, pre::read_archive_header(file).member_count);
  EXPECT_FALSE(walk.damaged);
  return walk.members;
}

// The bytes of entry `m` in `file`, padding included.
std::string entry_bytes(const Bytes& file, const pre::Member& m) {
  return std::string(file.begin() + static_cast<std::ptrdiff_t>(m.offset),
                     file.begin() + static_cast<std::ptrdiff_t>(pre::next_entry(m)));
}

TEST(Pack, BuildsTheGameLayoutAndExtractsBack) {
  TempDir dir;
  const std::string script = text_of(script_like_data(30000, 5));
  const std::string noise = random_bytes(5000, 6);
  dir.write("scripts/game/menu.qb", script);
  dir.write("scripts/noise.qb", noise);
  dir.write("empty.qb", "");
  dir.write("abc", "abcabcabcabcabcabcabcabc");
  // As `list` prints it, with a line end of each kind and a blank line.
  dir.write("members.txt", "scripts\\game\\menu.qb 0x3f142ab9\r\n\nscripts/noise.qb\nempty.qb 0x00000000\nabc");
  RunResult r = run_qbkit({"-p", "pack", "out.prd", "members.txt"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Packing 'scripts\\game\\menu.qb'\nPacking 'scripts/noise.qb'\nPacking 'empty.qb'\nPacking 'abc'\nDone...\n");

  const Bytes file = bytes_of(dir.read("out.prd"));
  EXPECT_EQ(pre::read_archive_header(file).total_size, file.size());
  EXPECT_EQ(pre::read_archive_header(file).format_tag, pre::kFormatTag);
  std::vector<pre::Member> members = members_of(file);
  ASSERT_EQ(members.size(), 4u);
  EXPECT_EQ(members[0].name, "scripts\\game\\menu.qb");
  EXPECT_EQ(members[0].checksum, name_checksum("scripts\\game\\menu.qb"));
  EXPECT_EQ(Bytes(members[0].data.begin(), members[0].data.end()), compress_game(bytes_of(script)));
  EXPECT_TRUE(members[1].stored());  // compression would not save 15%
  EXPECT_TRUE(members[2].stored());  // empty
  EXPECT_FALSE(members[3].stored());
  for (const pre::Member& m : members) {
    EXPECT_EQ(m.offset % 4, 0u) << m.name;
    EXPECT_EQ(m.name_length % 4, 0u) << m.name;
    for (size_t i = m.offset + 16 + m.name.size(); i < m.offset + 16 + m.name_length; ++i) EXPECT_EQ(file[i], 0);
  }
  EXPECT_EQ(members[3].name_length, 4u);  // "abc" and its zero byte

  TempDir out;
  fs::copy_file(dir / "out.prd", out / "out.prd");
  ASSERT_EQ(run_qbkit({"-p", "x", "out.prd"}, out.path()).status, 0);
  EXPECT_EQ(out.read("scripts/game/menu.qb"), script);
  EXPECT_EQ(out.read("scripts/noise.qb"), noise);
  EXPECT_EQ(out.read("empty.qb"), "");
  EXPECT_EQ(out.read("abc"), "abcabcabcabcabcabcabcabc");

  // The list that `list` prints packs the extracted members into the same archive again.
  RunResult list = run_qbkit({"-p", "list", "out.prd"}, out.path());
  out.write("again.txt", list.out);
  ASSERT_EQ(run_qbkit({"-p", "pack", "again.prd", "again.txt"}, out.path()).status, 0);
  EXPECT_TRUE(out.read("again.prd") == dir.read("out.prd"));
}

TEST(Pack, MissingFilesAndUnsafeNamesWriteNothing) {
  TempDir dir;
  dir.write("a.qb", "aaaa");
  dir.write("old.prd", "old archive");
  dir.write("missing.txt", "a.qb\nnot\\there.qb\nalso\\gone.qb\n");  // the first in order is named
  RunResult r = run_qbkit({"-p", "pack", "old.prd", "missing.txt"}, dir.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "Couldn't open QB file 'not/there.qb' for reading!\n");
  dir.write("unsafe.txt", "a.qb\n..\\a.qb 0x12345678\n");
  r = run_qbkit({"-p", "pack", "old.prd", "unsafe.txt"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Refusing unsafe member name '..\\a.qb'\n");
  r = run_qbkit({"-p", "pack", "old.prd", "none.txt"}, dir.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "Couldn't open file 'none.txt' for reading!\n");
  EXPECT_EQ(dir.read("old.prd"), "old archive");
}

// pack reads each file into a buffer of the size the system gives for it; a file with more
// bytes than that (one that grew meanwhile; here a kernel file whose listed size is 0) is read
// whole.
TEST(Pack, ReadsAFileWholeWhateverItsListedSize) {
  if (qbkit_is_windows_binary()) GTEST_SKIP() << "a kernel file behind a link is a Linux case";
  std::error_code ec;
  if (!fs::exists("/proc/version", ec) || fs::file_size("/proc/version", ec) != 0) GTEST_SKIP() << "no /proc/version of size 0";
  TempDir dir;
  fs::create_symlink("/proc/version", dir.path() / "version.qb", ec);
  ASSERT_FALSE(ec);
  dir.write("a.qb", "before");
  dir.write("members.txt", "a.qb\nversion.qb\n");
  ASSERT_EQ(run_qbkit({"-p", "pack", "out.prd", "members.txt"}, dir.path()).status, 0);
  const Bytes file = bytes_of(dir.read("out.prd"));
  const std::vector<pre::Member> members = members_of(file);
  ASSERT_EQ(members.size(), 2u);
  const std::string version = dir.read("version.qb");
  ASSERT_GT(version.size(), 1u);
  EXPECT_EQ(members[1].uncompressed_size, version.size());
  const Bytes data = members[1].stored() ? Bytes(members[1].data.begin(), members[1].data.end())
                                         : *decompress_member(members[1].data, members[1].uncompressed_size);
  EXPECT_EQ(text_of(data), version);
}

// A game-made archive: name fields padded to four with stray bytes, data padding not zero.
std::string game_archive(const std::vector<std::pair<std::string, std::string>>& members) {
  Bytes file(pre::kHeaderSize, 0);
  for (const auto& [name, data] : members) {
    Bytes field(name.begin(), name.end());
    field.push_back(0);
    while (field.size() % 4) field.push_back(0xCC);
    Bytes e(16);
    store_u32le(e.data(), static_cast<uint32_t>(data.size()));
    store_u32le(e.data() + 8, static_cast<uint32_t>(field.size()));
    store_u32le(e.data() + 12, name_checksum(name));
    file.insert(file.end(), e.begin(), e.end());
    file.insert(file.end(), field.begin(), field.end());
    file.insert(file.end(), data.begin(), data.end());
    while (file.size() % 4) file.push_back(0xEE);
  }
  store_u32le(file.data(), static_cast<uint32_t>(file.size()));
  store_u32le(file.data() + 4, 0x12345678);  // the game's own tag
  store_u32le(file.data() + 8, static_cast<uint32_t>(members.size()));
  return text_of(file);
}

TEST(Update, ReplacesMatchingEntriesAndKeepsEveryOtherByte) {
  TempDir dir;
  const std::string old_archive =
      game_archive({{"Scripts\\Game\\First.qb", "one"}, {"Scripts\\Game\\X.qb", "old x"}, {"last.qb", "three!"}});
  dir.write("g.prd", old_archive);
  const std::string script = text_of(script_like_data(12000, 9));
  dir.write("scripts/game/x.qb", script);
  RunResult r = run_qbkit({"-p", "update", "g.prd", "scripts/game/x.qb"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Updating 'scripts/game/x.qb'\nDone...\n");

  const Bytes before = bytes_of(old_archive), after = bytes_of(dir.read("g.prd"));
  std::vector<pre::Member> old_members = members_of(before), members = members_of(after);
  ASSERT_EQ(members.size(), 3u);
  EXPECT_EQ(pre::read_archive_header(after).format_tag, 0x12345678u);
  EXPECT_EQ(pre::read_archive_header(after).total_size, after.size());
  EXPECT_EQ(entry_bytes(after, members[0]), entry_bytes(before, old_members[0]));
  EXPECT_EQ(entry_bytes(after, members[2]), entry_bytes(before, old_members[2]));
  // The updated entry keeps its name field, stray bytes and all.
  EXPECT_EQ(entry_bytes(after, members[1]).substr(8, 8 + 20), entry_bytes(before, old_members[1]).substr(8, 8 + 20));
  EXPECT_EQ(Bytes(members[1].data.begin(), members[1].data.end()), compress_game(bytes_of(script)));
  EXPECT_EQ(members[1].uncompressed_size, script.size());
  EXPECT_EQ(*decompress_member(members[1].data, script.size()), bytes_of(script));
}

TEST(Update, DuplicatesAllUpdatedNewFilesAppended) {
  TempDir dir;
  ASSERT_EQ(run_qbkit({"-p", "new", "a.prd"}, dir.path()).status, 0);
  dir.write("d.qb", "first");
  ASSERT_EQ(run_qbkit({"-p", "addx", "a.prd", "d.qb", "0"}, dir.path()).status, 0);
  ASSERT_EQ(run_qbkit({"-p", "add", "a.prd", "d.qb", "0"}, dir.path()).status, 0);
  dir.write("d.qb", "second");
  dir.write("new/n.qb", "appended");
  RunResult r = run_qbkit({"-p", "update", "a.prd", "d.qb", "new/n.qb"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Updating 'd.qb'\nAdding 'new/n.qb'\nDone...\n");
  const Bytes file = bytes_of(dir.read("a.prd"));
  std::vector<pre::Member> members = members_of(file);
  ASSERT_EQ(members.size(), 3u);
  for (int k : {0, 1}) EXPECT_EQ(text_of(Bytes(members[k].data.begin(), members[k].data.end())), "second");
  EXPECT_EQ(members[2].name, "new/n.qb");
  EXPECT_EQ(members[2].name_length, 12u);  // padded to four
  TempDir out;
  fs::copy_file(dir / "a.prd", out / "a.prd");
  ASSERT_EQ(run_qbkit({"-p", "x", "a.prd"}, out.path()).status, 0);
  EXPECT_EQ(out.read("d.qb"), "second");
  EXPECT_EQ(out.read("new/n.qb"), "appended");
}

TEST(Update, MissingFilesUnsafeNamesAndNonArchivesChangeNothing) {
  TempDir dir;
  const std::string archive = game_archive({{"a.qb", "aaaa"}});
  dir.write("g.prd", archive);
  dir.write("a.qb", "new a");
  for (auto [args, status, message] : std::vector<std::tuple<std::vector<std::string>, int, std::string>>{
           {{"a.qb", "gone.qb"}, 2, "Couldn't open QB file 'gone.qb' for reading!\n"},
           {{"a.qb", "../a.qb"}, 1, "Refusing unsafe member name '../a.qb'\n"},
           {{"a.qb", "/abs/a.qb"}, 1, "Refusing unsafe member name '/abs/a.qb'\n"}}) {
    args.insert(args.begin(), {"-p", "update", "g.prd"});
    RunResult r = run_qbkit(args, dir.path());
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.out, message);
  }
  EXPECT_EQ(dir.read("g.prd"), archive);
  dir.write("menu.qb", std::string("\x01\x16\x10\x20\x30\x40\x01\x00\x00\x00\x00\x00", 12) + "\x2b junk");
  RunResult r = run_qbkit({"-p", "update", "menu.qb", "a.qb"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "'menu.qb' is not an archive, or holds data after its last member; nothing was changed\n");
  EXPECT_EQ(run_qbkit({"-p", "update", "none.prd", "a.qb"}, dir.path()).status, 2);
  EXPECT_FALSE(dir.exists("none.prd"));
}

}  // namespace
}  // namespace qbkit::test
