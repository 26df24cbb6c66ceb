// End-to-end: inputs that are not what a command expects. An archive that another program
// truncates meanwhile, inputs that are not regular files, member lists as editors save them,
// and files given as the archive that are not archives: each ends with a message and a
// status, in little time and memory, and changes nothing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <thread>

#include "cli/cli_util.h"
#include "common/bytes.h"
#include "common/name_checksum.h"
#include "pre/archive.h"
#include "support/archive_files.h"
#include "support/profile_stream.h"

namespace qbkit::test {
namespace {

namespace fs = std::filesystem;

// An archive of `count` small stored members, laid out as `pack` lays them out.
std::string many_member_archive(uint32_t count) {
  Bytes file(pre::kHeaderSize, 0);
  for (uint32_t k = 0; k < count; ++k) {
    char name[16];
    std::snprintf(name, sizeof name, "m\\%06u.qb", k);  // 11 bytes and a zero: no padding
    const std::string data = "data " + std::to_string(k);
    uint8_t fields[16];
    store_u32le(fields, static_cast<uint32_t>(data.size()));
    store_u32le(fields + 4, 0);
    store_u32le(fields + 8, 12);
    store_u32le(fields + 12, name_checksum(name));
    file.insert(file.end(), fields, fields + 16);
    file.insert(file.end(), name, name + 12);
    file.insert(file.end(), data.begin(), data.end());
    file.resize((file.size() + 3) & ~size_t{3}, 0);
  }
  store_u32le(file.data(), static_cast<uint32_t>(file.size()));
  store_u32le(file.data() + 4, pre::kFormatTag);
  store_u32le(file.data() + 8, count);
  return std::string(file.begin(), file.end());
}

// Another program cuts the archive to 100 bytes at some moment while qbkit, holding its lock,
// reads it to append to it: qbkit ends with a status, never a signal, and leaves no temporary
// file behind.
TEST(ChangedUnderfoot, AnArchiveCutShortWhileItIsAppendedTo) {
  if (qbkit_is_windows_binary()) GTEST_SKIP() << "the archive's lock is a POSIX lock here";
  TempDir dir;
  const std::string archive = many_member_archive(100000);
  dir.write("new.qb", std::string(2000, 'n'));
  dir.write("m/000007.qb", "updated");
  const std::string path = (dir / "a.prd").string();
  std::mt19937 rng(7);
  for (int round = 0; round < 16; ++round) {
    dir.write("a.prd", archive);
    std::atomic<bool> done{false};
    const auto delay = std::chrono::microseconds(rng() % 4000);
    std::thread cutter([&] {
      // Once qbkit holds the archive's lock, it is reading or walking it.
      while (!done) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);  // not inherited by qbkit with its lock
        const bool locked = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        if (fd >= 0) ::close(fd);
        if (!locked) continue;
        std::this_thread::sleep_for(delay);
        if (::truncate(path.c_str(), 100) != 0) ADD_FAILURE() << "cannot truncate";
        return;
      }
    });
    const std::vector<std::string> args = round % 2 ? std::vector<std::string>{"-p", "add", "a.prd", "new.qb", "0"}
                                                    : std::vector<std::string>{"-p", "update", "a.prd", "m/000007.qb"};
    const RunResult r = run_qbkit(args, dir.path(), {.timeout_seconds = 60});
    done = true;
    cutter.join();
    EXPECT_TRUE(r.status == 0 || r.status == 1 || r.status == 2) << "round " << round << ": status " << r.status;
    EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"a.prd", "m", "m/000007.qb", "new.qb"}));
  }
}

// The names in `dir`, sorted (links not followed).
std::vector<std::string> names_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Every input that is read whole must be a regular file: a FIFO (which would wait for a
// writer forever) and devices (/dev/zero never ends, /dev/null and NUL are no script) fail at
// once, as a missing file fails, in every command that reads one.
TEST(NotRegularFiles, FailAsAMissingFileFails) {
  TempDir dir;
  std::vector<std::vector<std::string>> commands = {{"-d", "@"},          {"-t", "@"},          {"-c", "@"},
                                                    {"-p", "jdc", "@"},   {"-p", "list", "@"},  {"-p", "x", "@"},
                                                    {"-p", "pack", "b.prd", "@"}};
  std::vector<std::string> inputs;
  if (qbkit_is_windows_binary()) {
    inputs = {"NUL"};  // as a member name it is refused before it is read
  } else {
    ASSERT_EQ(::mkfifo((dir / "fifo.qb").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir / "zero.qb");
    fs::create_symlink("/dev/null", dir / "null.qb");
    inputs = {"fifo.qb", "zero.qb", "null.qb"};
    commands.insert(commands.end(), {{"-p", "add", "a.prd", "@", "0"}, {"-p", "addx", "a.prd", "@", "0"},
                                     {"-p", "update", "a.prd", "@"}, {"-p", "pack", "b.prd", "@.txt"}});
  }
  ASSERT_EQ(run_qbkit({"-p", "new", "a.prd"}, dir.path()).status, 0);
  const std::string archive = dir.read("a.prd");
  for (const std::string& name : inputs) dir.write(name + ".txt", name + "\n");
  dir.write("gone.qb.txt", "gone.qb\n");
  const std::vector<std::string> before = names_in(dir.path());
  auto replaced = [](std::string s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) s.replace(at, from.size(), to);
    return s;
  };
  for (const std::vector<std::string>& command : commands) {
    std::vector<std::string> args;
    for (const std::string& a : command) args.push_back(replaced(a, "@", "gone.qb"));
    const RunResult missing = run_qbkit(args, dir.path());
    ASSERT_NE(missing.status, 0) << args[1];
    for (const std::string& name : inputs) {
      args.clear();
      for (const std::string& a : command) args.push_back(replaced(a, "@", name));
      const RunResult r = run_qbkit(args, dir.path(), {.timeout_seconds = 20});
      EXPECT_EQ(r.status, missing.status) << args[1] << " " << name;
      EXPECT_EQ(r.out, replaced(missing.out, "gone.qb", name)) << args[1] << " " << name;
    }
  }
  EXPECT_EQ(dir.read("a.prd"), archive);
  EXPECT_EQ(names_in(dir.path()), before) << "no archive, table file, dump or decoded stream is written";
}

// A file whose entries run past its end (a QB file given in place of the archive, or an
// archive cut short) is refused before any work: no progress line, no compression.
TEST(NotAnArchive, AppendsRefuseAFileWhoseEntriesRunPastItsEnd) {
  TempDir dir;
  const Bytes qb = generate_profile_stream(4000, 3);
  ASSERT_NE(pre::read_archive_header(qb).member_count, 0u);
  dir.write("menu.qb", qb);
  std::string cut = archive_with({{"a.qb", std::string(100, 'a')}, {"b.qb", std::string(100, 'b')}});
  cut.resize(cut.size() - 3);
  dir.write("cut.prd", cut);
  dir.write("x.qb", std::string(3000, 'x'));
  for (const std::string target : {"menu.qb", "cut.prd"}) {
    const std::string before = dir.read(target);
    for (std::vector<std::string> args : {std::vector<std::string>{"-p", "add", target, "x.qb", "0"},
                                          {"-p", "addx", target, "x.qb", "0"},
                                          {"-p", "update", target, "x.qb"}}) {
      const RunResult r = run_qbkit(args, dir.path());
      EXPECT_EQ(r.status, 1) << args[1] << " " << target;
      EXPECT_EQ(r.out, "'" + target + "' is not an archive, or holds data after its last member; nothing was changed\n");
    }
    EXPECT_EQ(dir.read(target), before);
  }
}

// Member lists as people save them: an empty one never replaces an archive, a byte-order
// mark and blanks or tabs around the checksum are taken as `list` output.
TEST(MemberLists, AsEditorsSaveThem) {
  TempDir dir;
  dir.write("a.qb", std::string(500, 'a'));
  dir.write("s/b.qb", "bbbb");
  dir.write("plain.txt", "a.qb\ns\\b.qb\n");
  ASSERT_EQ(run_qbkit({"-p", "pack", "plain.prd", "plain.txt"}, dir.path()).status, 0);
  dir.write("old.prd", dir.read("plain.prd"));
  for (const std::string list : {"", "\n  \n\t\r\n", "\xEF\xBB\xBF\r\n"}) {
    dir.write("empty.txt", list);
    const RunResult r = run_qbkit({"-p", "pack", "old.prd", "empty.txt"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Member list 'empty.txt' names no member; nothing was changed (new makes an empty archive)\n");
  }
  EXPECT_EQ(dir.read("old.prd"), dir.read("plain.prd"));
  dir.write("saved.txt", "\xEF\xBB\xBF" "a.qb\t0x3f142ab9  \r\ns\\b.qb \t 0x0000ABCD\t\r\n");
  const RunResult r = run_qbkit({"-p", "pack", "saved.prd", "saved.txt"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Packing 'a.qb'\nPacking 's\\b.qb'\nDone...\n");
  EXPECT_TRUE(dir.read("saved.prd") == dir.read("plain.prd"));
}

}  // namespace
}  // namespace qbkit::test
