// Mode -d on the real binary: standard output, the table file, exit statuses and messages.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "cli/cli_util.h"
#include "support/qb_stream.h"
#include "qb/tokens.h"

namespace qbkit::test {
namespace {

using namespace qb;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

struct MeasuredRun {
  int status = -1;
  long peak_kib = 0;  // the child's peak resident memory
};

// Runs qbkit with its standard output sent to /dev/null, under an address-space limit of
// `limit` bytes (none in sanitizer builds, whose shadow memory needs far more), and reports
// its status and peak memory.
MeasuredRun run_measured(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                         rlim_t limit) {
  std::vector<std::string> words = qbkit_command();
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0 || chdir(cwd.c_str()) != 0) _exit(126);
    if (!kSanitized) {
      const rlimit rl{limit, limit};
      if (setrlimit(RLIMIT_AS, &rl) != 0) _exit(126);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  MeasuredRun result;
  int wstatus = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &wstatus, 0, &usage) != pid) return result;
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  result.peak_kib = usage.ru_maxrss;
  return result;
}

const std::string kFooter = "\n\n#/ END\n";
std::string header(const std::string& path) {
  return "#/ QB Script version 2\n%include \"" + path + "_table.qbi\"   #/ Table file\n";
}

TEST(DecompileCli, WorkedExampleTextAndTableFile) {
  TempDir dir;
  QbStream s;
  s.op(kLineBreak).op(kFunction).op32(kName, 0x0000abcd).op(kLineBreak).op32(kName, 0xdeadbeef)
      .op(kEquals).op32(kInteger, 5).op(kLineBreak).op(kEndFunction).op(kLineBreak)
      .name_record(0x0000abcd, "foo").name_record(0xdeadbeef, "bar").op(kEnd);
  dir.write("x.qb", s.bytes());
  RunResult r = run_qbkit({"-d", "x.qb"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, header("x.qb") +
                       "\n:i function $foo$\n\t:i $bar$ = %i(5,00000005)\n:i endfunction\n"
                       ":i :end\n" + kFooter);
  EXPECT_EQ(dir.read("x.qb_table.qbi"), "#addx 0x0000abcd \"foo\"\n#addx 0xdeadbeef \"bar\"\n");
}

TEST(DecompileCli, EmptyFileGivesAnEmptyTableFile) {
  TempDir dir;
  dir.write("e.qb", "");
  RunResult r = run_qbkit({"-d", "e.qb"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, header("e.qb") + kFooter);
  ASSERT_TRUE(dir.exists("e.qb_table.qbi"));
  EXPECT_EQ(dir.read("e.qb_table.qbi"), "");
}

TEST(DecompileCli, PathInSubdirectoryNamesTheTableFileBesideIt) {
  TempDir dir;
  std::filesystem::create_directory(dir / "levels");
  dir.write("levels/a.qb", QbStream().op(kEnd).bytes());
  RunResult r = run_qbkit({"-d", "levels/a.qb"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, header("levels/a.qb") + ":end\n" + kFooter);
  EXPECT_TRUE(dir.exists("levels/a.qb_table.qbi"));
}

TEST(DecompileCli, UnknownOpcodeStillWritesTextAndTable) {
  TempDir dir;
  dir.write("u.qb", QbStream().name_record(1, "one").op32(kName, 1).op(0x1D).bytes());
  RunResult r = run_qbkit({"-d", "u.qb"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, header("u.qb") + "$one$Unknown instruction at 0000000e:1d" + kFooter);
  EXPECT_EQ(dir.read("u.qb_table.qbi"), "#addx 0x00000001 \"one\"\n");
}

TEST(DecompileCli, FailuresAndTheirStatuses) {
  TempDir dir;
  RunResult missing = run_qbkit({"-d", "missing.qb"}, dir.path());
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "Couldn't open file!");
  EXPECT_FALSE(dir.exists("missing.qb_table.qbi"));

  // The endcase token under -thug1: two messages, no text, no table file.
  dir.write("s.qb", QbStream().name_record(1, "a").op(kSwitch).op(kEndCase).u16(0).bytes());
  RunResult refused = run_qbkit({"-d", "s.qb", "-thug1"}, dir.path());
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out,
            "GOTO stuff not implemented... please report that cuz it shouldn't happen\n"
            "Maybe this file doesn't work with -thug1?\n");
  EXPECT_FALSE(dir.exists("s.qb_table.qbi"));

  // A table file that cannot be created (a directory stands in its place): the text is
  // complete, then the message and status 1.
  dir.write("t.qb", QbStream().op(kEnd).bytes());
  std::filesystem::create_directory(dir / "t.qb_table.qbi");
  RunResult no_table = run_qbkit({"-d", "t.qb"}, dir.path());
  EXPECT_EQ(no_table.status, 1);
  EXPECT_EQ(no_table.out, header("t.qb") + ":end\n" + kFooter + "Couldn't create table file!\n");
}

TEST(DecompileCli, SwitchesInTheOptionSlot) {
  TempDir dir;
  dir.write("d.qb", QbStream().op(kIf).u16(0).op(kEndIf).op(kEnd).bytes());
  EXPECT_EQ(run_qbkit({"-d", "d.qb", "-debug"}, dir.path()).out,
            header("d.qb") + "if[1] endif[1] :end\n" + kFooter);
  EXPECT_EQ(run_qbkit({"-d", "d.qb"}, dir.path()).out,
            header("d.qb") + "if endif:end\n" + kFooter);

  dir.write("c.qb", QbStream().op(kSwitch).op(kCase).op(kLineBreak).op(kEndSwitch).op(kEnd).bytes());
  EXPECT_EQ(run_qbkit({"-d", "c.qb", "-thug1"}, dir.path()).out,
            header("c.qb") + "switch case \n\t:i end_switch\n:end\n" + kFooter);
}

// 120 KB nesting 30,000 structures deep gives about 900 MB of tabs: the text goes out as it
// is made, so the memory needed follows the input, not the text.
TEST(DecompileCli, DeepNestingNeedsMemoryOfTheInputNotOfTheText) {
  if (qbkit_is_windows_binary()) GTEST_SKIP() << "memory is measured on the native binary";
  TempDir dir;
  QbStream s;
  for (int i = 0; i < 30000; ++i) s.op(kStructOpen).op(kLineBreak);
  for (int i = 0; i < 30000; ++i) s.op(kStructClose).op(kLineBreak);
  dir.write("deep.qb", s.bytes());
  constexpr rlim_t kLimit = 64u << 20;
  const MeasuredRun r = run_measured({"-d", "deep.qb"}, dir.path(), kLimit);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(dir.exists("deep.qb_table.qbi"));
  if (!kSanitized) {
    EXPECT_LT(r.peak_kib, static_cast<long>(kLimit / 1024));
  }
}

}  // namespace
}  // namespace qbkit::test
