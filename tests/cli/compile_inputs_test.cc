// Mode -c on the real binary with inputs that once lost text or hung: included files that are
// no regular files, stop words that reach out of an included file, unknown names.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "cli/cli_util.h"

namespace qbkit::test {
namespace {

// Opens and closes the FIFO for writing while `done` is unset, after a grace period: a qbkit
// that wrongly waits on the FIFO then reads an empty file and the test fails instead of hanging.
class FifoUnblocker {
 public:
  explicit FifoUnblocker(std::filesystem::path fifo)
      : thread_([this, fifo = std::move(fifo)] {
          const auto start = std::chrono::steady_clock::now();
          while (!done_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) continue;
            const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) close(fd);
          }
        }) {}
  ~FifoUnblocker() {
    done_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

TEST(CompileInputs, IncludeReadsRegularFilesOnly) {
  TempDir dir;
  std::filesystem::create_directory(dir / "folder");
  std::vector<std::string> names = {"folder"};
  if (!qbkit_is_windows_binary()) {
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    names.push_back("fifo");
    names.push_back("/dev/zero");
  }
  for (const std::string& name : names) {
    dir.write("x.q", ":i %include \"" + name + "\" :i");
    FifoUnblocker unblocker(dir / "fifo");
    const RunResult r = run_qbkit({"-c", "x.q"}, dir.path());
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_EQ(r.out, "Including: '" + name + "'\n...Couldn't open file!") << name;
    EXPECT_EQ(dir.read("temp.dump"), "\x01") << name;
    EXPECT_FALSE(dir.exists("x.q.qb")) << name;
  }
}

TEST(CompileInputs, StopWordOfTheIncludingFilesBlockIsAnError) {
  TempDir dir;
  // Once, the else branch was dropped without a word and the file compiled.
  dir.write("x.q", "if\n%include \"inc.q\"\nendif");
  dir.write("inc.q", ":i\n:i else :i");
  const RunResult r = run_qbkit({"-c", "x.q"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Including: 'inc.q'\n...'else' in an included file closes a block opened outside it - line 2\n");
  EXPECT_EQ(dir.read("temp.dump"), std::string("\x47\x00\x00\x01\x01", 5));
  EXPECT_FALSE(dir.exists("x.q.qb"));
}

TEST(CompileInputs, UnknownNameGivesTheSameLineHoweverItIsWritten) {
  TempDir dir;
  for (const std::string name : {"foo", "fo o"}) {
    dir.write("x.q", ":i $" + name + "$\n:i");
    const RunResult r = run_qbkit({"-c", "x.q"}, dir.path());
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(r.out, "Name '" + name + "' is unknown - line 1\n");
    EXPECT_EQ(dir.read("temp.dump"), "\x01\x16");
  }
}

}  // namespace
}  // namespace qbkit::test
