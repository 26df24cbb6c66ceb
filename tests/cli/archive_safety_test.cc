// End-to-end: archives are replaced through unique temporaries and links, extraction never
// leaves the working folder and is all or nothing, appends are locked and refuse files that
// are not archives or names that extraction would refuse.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "support/archive_files.h"
#include "cli/cli_util.h"
#include "common/bytes.h"
#include "pre/archive.h"

namespace qbkit::test {
namespace {

namespace fs = std::filesystem;

// Every name below `dir`, sorted.
std::vector<std::string> names_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(dir)) names.push_back(e.path().lexically_relative(dir).generic_string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string loading_line(const std::string& archive, size_t size) {
  return "Loading '" + archive + "'... " + std::to_string(size) + " bytes read - " + std::to_string(size) +
         " bytes wanted\n";
}

class ArchiveSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    if (qbkit_is_windows_binary()) GTEST_SKIP() << "links, FIFOs and permission bits are POSIX cases";
  }
};

TEST_F(ArchiveSafety, TemporariesAreUniqueAndNeverFollowed) {
  TempDir dir;
  // Members named like the old fixed temporary come out beside the member they shadow.
  dir.write("m.prd", archive_with({{"x", "first"}, {"x.qbkit-tmp", "second"}}));
  RunResult r = run_qbkit({"-p", "x", "m.prd"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(dir.read("x"), "first");
  EXPECT_EQ(dir.read("x.qbkit-tmp"), "second");

  // A link or a FIFO planted at a temporary name is neither written through nor waited on.
  TempDir outside;
  outside.write("victim", "untouched");
  ASSERT_EQ(run_qbkit({"-p", "new", "a.prd"}, dir.path()).status, 0);
  fs::create_symlink(outside / "victim", dir / "a.prd.qbkit-tmp");
  ASSERT_EQ(mkfifo((dir / "q.qb.qbkit-tmp").c_str(), 0600), 0);
  dir.write("q.qb", "member");
  r = run_qbkit({"-p", "addx", "a.prd", "q.qb", "0"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(outside.read("victim"), "untouched");
  dir.write("q.prd", archive_with({{"q.qb", "from the archive"}}));
  EXPECT_EQ(run_qbkit({"-p", "x", "q.prd"}, dir.path()).status, 0);
  EXPECT_EQ(dir.read("q.qb"), "from the archive");
  EXPECT_EQ(run_qbkit({"-p", "list", "a.prd"}, dir.path()).out.substr(0, 5), "q.qb ");
}

TEST_F(ArchiveSafety, ReplacingWritesThroughALinkAndKeepsPermissionBits) {
  TempDir dir;
  fs::create_directory(dir / "real");
  ASSERT_EQ(run_qbkit({"-p", "new", "real/a.prd"}, dir.path()).status, 0);
  fs::permissions(dir / "real/a.prd", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("real/a.prd", dir / "link.prd");
  dir.write("m.qb", "member");
  RunResult r = run_qbkit({"-p", "addx", "link.prd", "m.qb", "0"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Adding 'm.qb'\nDone...\n");
  EXPECT_TRUE(fs::is_symlink(dir / "link.prd"));
  EXPECT_EQ(run_qbkit({"-p", "list", "real/a.prd"}, dir.path()).out.substr(0, 5), "m.qb ");
  EXPECT_EQ(fs::status(dir / "real/a.prd").permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"link.prd", "m.qb", "real", "real/a.prd"}));
}

TEST_F(ArchiveSafety, ExtractionRefusesLinksOnTheWayAndReplacesALinkedMember) {
  TempDir outer;
  fs::create_directories(outer / "work/real");
  fs::create_directory(outer / "outside");
  outer.write("outside/victim.qb", "untouched");
  fs::create_symlink("../outside", outer / "work/scripts");
  const std::string archive = archive_with({{"first.qb", "1"}, {"scripts\\victim.qb", "evil"}});
  outer.write("work/a.prd", archive);
  RunResult r = run_qbkit({"-p", "x", "a.prd"}, outer / "work");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, loading_line("a.prd", archive.size()) +
                       "Refusing to extract 'scripts\\victim.qb' through the link 'scripts'\n");
  EXPECT_EQ(outer.read("outside/victim.qb"), "untouched");
  EXPECT_FALSE(outer.exists("work/first.qb"));

  // A link deeper on the way is found too; the member file itself, when a link, is replaced.
  fs::remove(outer / "work/scripts");
  fs::create_directory(outer / "work/scripts");
  fs::create_symlink("../../outside", outer / "work/scripts/game");
  outer.write("work/b.prd", archive_with({{"scripts/game/victim.qb", "evil"}}));
  r = run_qbkit({"-p", "x", "b.prd"}, outer / "work");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("through the link 'scripts/game'\n"), std::string::npos) << r.out;
  fs::create_symlink("../outside/victim.qb", outer / "work/linked.qb");
  outer.write("work/c.prd", archive_with({{"linked.qb", "mine"}}));
  EXPECT_EQ(run_qbkit({"-p", "x", "c.prd"}, outer / "work").status, 0);
  EXPECT_FALSE(fs::is_symlink(outer / "work/linked.qb"));
  EXPECT_EQ(outer.read("work/linked.qb"), "mine");
  EXPECT_EQ(outer.read("outside/victim.qb"), "untouched");
}

TEST(ExtractPaths, WhatCannotBeWrittenIsRefusedBeforeAnythingIsWritten) {
  TempDir dir;
  dir.write("keep.qb", "the user's own");
  dir.write("blocked", "a file");
  const std::string long_part(256, 'n');
  for (auto [members, refused] :
       std::vector<std::pair<std::vector<std::pair<std::string, std::string>>, std::string>>{
           {{{"keep.qb", "new"}, {"a", "file"}, {"a/b", "needs a as a directory"}}, "a/b"},
           {{{"keep.qb", "new"}, {"d\\x.qb", "x"}, {"d", "file"}}, "d\\x.qb"},
           {{{"keep.qb", "new"}, {"dir\\" + long_part, "x"}}, "dir\\" + long_part},
           {{{"keep.qb", "new"}, {"blocked\\m.qb", "x"}}, "blocked\\m.qb"}}) {
    const std::string archive = archive_with(members);
    dir.write("a.prd", archive);
    RunResult r = run_qbkit({"-p", "x", "a.prd"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, loading_line("a.prd", archive.size()) + "Refusing unsafe member name '" + refused + "'\n");
  }
  EXPECT_EQ(dir.read("keep.qb"), "the user's own");
  EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"a.prd", "blocked", "keep.qb"}));

  // A non-empty directory where a member's file goes: nothing else is written either.
  dir.write("full/inside", "x");
  dir.write("b.prd", archive_with({{"keep.qb", "new"}, {"new\\dir\\m.qb", "m"}, {"full", "file"}}));
  RunResult r = run_qbkit({"-p", "x", "b.prd"}, dir.path());
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.out.ends_with("\nCouldn't open file 'full'!\n")) << r.out;
  EXPECT_EQ(dir.read("keep.qb"), "the user's own");
  EXPECT_FALSE(dir.exists("new"));
}

std::string writer_file(int writer, int i) {
  char name[32];
  std::snprintf(name, sizeof name, "w%d_%d.qb", writer, i);
  return name;
}

TEST(ExtractPaths, DotPartsNameTheSameFile) {
  TempDir dir;
  dir.write("a.prd", archive_with({{"./d/./m.qb", "first"}, {"d\\m.qb", "second"}, {"d/n.qb", "n"}}));
  RunResult r = run_qbkit({"-p", "x", "a.prd"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(dir.read("d/m.qb"), "second");
  EXPECT_EQ(dir.read("d/n.qb"), "n");
}

TEST(AppendSafety, ConcurrentAppendsAllLand) {
  TempDir dir;
  ASSERT_EQ(run_qbkit({"-p", "new", "a.prd"}, dir.path()).status, 0);
  // A big first member makes each read-modify-write long enough for the writers to meet.
  dir.write("big.qb", std::string(8 << 20, 'b'));
  ASSERT_EQ(run_qbkit({"-p", "addx", "a.prd", "big.qb", "0"}, dir.path()).status, 0);
  constexpr int kWriters = 3, kPerWriter = 6;
  for (int w = 0; w < kWriters; ++w)
    for (int i = 0; i < kPerWriter; ++i) dir.write(writer_file(w, i), std::string(3000 + i, static_cast<char>('a' + w)));
  auto writer = [&](int w) {
    for (int i = 0; i < kPerWriter; ++i)
      EXPECT_EQ(run_qbkit({"-p", i % 2 ? "add" : "addx", "a.prd", writer_file(w, i), "0"}, dir.path()).status, 0);
  };
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) writers.emplace_back(writer, w);
  for (std::thread& t : writers) t.join();
  RunResult list = run_qbkit({"-p", "list", "a.prd"}, dir.path());
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 1 + kWriters * kPerWriter) << list.out;
  EXPECT_EQ(run_qbkit({"-p", "x", "a.prd"}, dir.path()).status, 0);
}

TEST(AppendSafety, RefusesFilesThatAreNotArchivesAndUnsafeNames) {
  TempDir dir;
  // Arguments swapped: the QB file would be rewritten as an archive and lose its bytes.
  const std::string qb = std::string("\x01\x16\x10\x20\x30\x40\x01\x00\x00\x00\x00\x00\x2b\x10\x20\x30\x40menu\x00\x00", 23);
  dir.write("menu.qb", qb);
  ASSERT_EQ(run_qbkit({"-p", "new", "mod.prd"}, dir.path()).status, 0);
  dir.write("tiny.prd", std::string(11, '\0'));
  for (std::string target : {"menu.qb", "tiny.prd"}) {
    const std::string before = dir.read(target);
    RunResult r = run_qbkit({"-p", "addx", target, "mod.prd", "0"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "'" + target + "' is not an archive, or holds data after its last member; nothing was changed\n");
    EXPECT_EQ(dir.read(target), before);
  }

  // Zero bytes after the last entry (padding to a sector) are dropped.
  dir.write("m.qb", "1234");
  std::string padded = archive_with({{"p.qb", "xyz"}});
  const size_t real_size = padded.size();
  padded.resize(512, '\0');
  dir.write("p.prd", padded);
  RunResult r = run_qbkit({"-p", "addx", "p.prd", "m.qb", "0"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Adding 'm.qb'\nOh, a filesize mistake...\nDone...\n");
  EXPECT_EQ(dir.read("p.prd").size(), real_size + 16 + 5 + 4);

  // Names that extraction refuses are refused here, before anything is read.
  dir.write("sub/x.qb", "x");
  const std::string archive = dir.read("mod.prd");
  for (std::string name : {"../menu.qb", "/abs/x.qb", "sub/../../x.qb", "C:\\x.qb", "sub\\"}) {
    for (const char* word : {"add", "addx"}) {
      r = run_qbkit({"-p", word, "mod.prd", name, "0"}, dir.path());
      EXPECT_EQ(r.status, 1) << name;
      EXPECT_EQ(r.out, "Refusing unsafe member name '" + name + "'\n");
    }
  }
  EXPECT_EQ(dir.read("mod.prd"), archive);
}

}  // namespace
}  // namespace qbkit::test
