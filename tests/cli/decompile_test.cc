// Mode -d on the real binary: standard output, the table file, exit statuses and messages.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "cli/cli_util.h"
#include "decompiler/decompiler.h"
#include "support/profile_stream.h"
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
  EXPECT_EQ(r.err, "");
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

// The text and the table file as far as they go, but a partial decompile is a failure.
TEST(DecompileCli, UnknownOpcodeWritesTextAndTableAndFails) {
  TempDir dir;
  dir.write("u.qb", QbStream().name_record(1, "one").op32(kName, 1).op(0x1D).op(kEnd).bytes());
  RunResult r = run_qbkit({"-d", "u.qb"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, header("u.qb") + "$one$Unknown instruction at 0000000e:1d" + kFooter);
  EXPECT_EQ(r.err, "'u.qb': the decompile stopped at 0000000e, before the end of the stream (16 bytes); "
                   "the text and the table file are incomplete\n");
  EXPECT_EQ(dir.read("u.qb_table.qbi"), "#addx 0x00000001 \"one\"\n");
}

// A stream that ends without its end token, every token whole (a file cut between tokens, its
// name records lost): the whole text and status 0, as before, and a warning.
TEST(DecompileCli, AStreamWithoutItsEndToken) {
  TempDir dir;
  dir.write("cut.qb", QbStream().op(kLineBreak).op32(kName, 1).bytes());
  RunResult r = run_qbkit({"-d", "cut.qb"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, header("cut.qb") + "\n:i $[01000000]$" + kFooter);
  EXPECT_EQ(r.err, "'cut.qb': the stream ends at 00000006 without its end token; the file may be cut short\n");
  EXPECT_EQ(dir.read("cut.qb_table.qbi"), "");
  dir.write("whole.qb", QbStream().op(kLineBreak).op(kEnd).bytes());
  EXPECT_EQ(run_qbkit({"-d", "whole.qb"}, dir.path()).err, "");
}

// Standard output usually goes to a file here: every message is repeated on standard error,
// with a line end.
TEST(DecompileCli, FailuresAndTheirStatuses) {
  TempDir dir;
  RunResult missing = run_qbkit({"-d", "missing.qb"}, dir.path());
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "Couldn't open file!");
  EXPECT_EQ(missing.err, "Couldn't open file!\n");
  EXPECT_FALSE(dir.exists("missing.qb_table.qbi"));
  // Standard output thrown away ("> NUL" in a batch file) is no terminal either: the message
  // must reach standard error. (Windows takes the NUL device for a terminal when asked so.)
  const RunResult discarded = run_qbkit({"-d", "missing.qb"}, dir.path(), {Stdout::kNull});
  EXPECT_EQ(discarded.status, 1);
  EXPECT_EQ(discarded.err, "Couldn't open file!\n");

  // The endcase token under -thug1: two messages, no text, no table file.
  dir.write("s.qb", QbStream().name_record(1, "a").op(kSwitch).op(kEndCase).u16(0).bytes());
  RunResult refused = run_qbkit({"-d", "s.qb", "-thug1"}, dir.path());
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out,
            "GOTO stuff not implemented... please report that cuz it shouldn't happen\n"
            "Maybe this file doesn't work with -thug1?\n");
  EXPECT_EQ(refused.err, refused.out);
  EXPECT_FALSE(dir.exists("s.qb_table.qbi"));

  // A table file that cannot be created (a directory stands in its place): the message and
  // status 1, before any text.
  dir.write("t.qb", QbStream().op(kEnd).bytes());
  std::filesystem::create_directory(dir / "t.qb_table.qbi");
  RunResult no_table = run_qbkit({"-d", "t.qb"}, dir.path());
  EXPECT_EQ(no_table.status, 1);
  EXPECT_EQ(no_table.out, "Couldn't create table file!\n");
  EXPECT_EQ(no_table.err, "Couldn't create table file!\n");

  // An option where the file name goes: the file is not found, and the command put right.
  dir.write("x.qb", QbStream().op(kEnd).bytes());
  for (const char* option : {"-thug1", "-debug"}) {
    RunResult swapped = run_qbkit({"-d", option, "x.qb"}, dir.path());
    EXPECT_EQ(swapped.status, 1);
    EXPECT_EQ(swapped.out, "Couldn't open file!");
    EXPECT_TRUE(swapped.err.starts_with("qbkit: warning: 'x.qb' is ignored: -d takes one file [command-line]\n"
                                        "Couldn't open file!\nqbkit: note: options go after the file name: "))
        << swapped.err;
    EXPECT_TRUE(swapped.err.ends_with(" -d x.qb " + std::string(option) + "\n")) << swapped.err;
  }
}

// A stream of the first game's layout holds case and default without the endcase token. In
// the standard layout the first of them stops the decompile, before anything is written; the
// streams without a switch read the same in both layouts.
TEST(DecompileCli, AStreamOfTheOtherLayout) {
  TempDir dir;
  const Bytes thug1 = generate_profile_stream(24 << 10, 3, Switches::kThug1);
  const Bytes standard = generate_profile_stream(24 << 10, 3, Switches::kStandard);
  dir.write("t.qb", thug1);
  dir.write("s.qb", standard);

  RunResult r = run_qbkit({"-d", "t.qb"}, dir.path());
  EXPECT_EQ(r.status, 1);
  ASSERT_TRUE(r.out.starts_with("Case without an endcase token at ")) << r.out.substr(0, 200);
  EXPECT_TRUE(r.out.ends_with("\nMaybe this file needs -thug1?\n")) << r.out;
  EXPECT_EQ(r.out.size(), 72u);
  const size_t at = std::stoul(r.out.substr(33, 8), nullptr, 16);
  ASSERT_LT(at + 1, thug1.size());
  EXPECT_TRUE(thug1[at] == kCase || thug1[at] == kDefault);
  EXPECT_EQ(r.err, r.out);
  EXPECT_FALSE(dir.exists("t.qb_table.qbi"));

  // In their own layouts both decompile and compile back to themselves.
  for (const auto& [name, layout] : {std::pair<std::string, const char*>{"t.qb", "-thug1"}, {"s.qb", ""}}) {
    std::vector<std::string> args = {"-d", name};
    if (*layout) args.push_back(layout);
    r = run_qbkit(args, dir.path());
    ASSERT_EQ(r.status, 0) << r.out.substr(0, 200);
    dir.write(name + ".txt", r.out);
    args = {"-c", name + ".txt"};
    if (*layout) args.push_back(layout);
    ASSERT_EQ(run_qbkit(args, dir.path()).status, 0) << name;
    EXPECT_EQ(dir.read(name + ".txt.qb"), dir.read(name)) << name;
  }

  const Bytes plain = generate_profile_stream(24 << 10, 3);
  dir.write("p.qb", plain);
  r = run_qbkit({"-d", "p.qb"}, dir.path());
  EXPECT_EQ(r.status, 0);
  RunResult as_thug1 = run_qbkit({"-d", "p.qb", "-thug1"}, dir.path());
  EXPECT_EQ(as_thug1.status, 0);
  EXPECT_EQ(as_thug1.out, r.out);
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

// A file large enough to be mapped, and printed on two processors where the machine has them:
// the same text as the plain in-process decompile.
TEST(DecompileCli, ALargeFileGivesTheSameText) {
  TempDir dir;
  const Bytes data = generate_profile_stream(1200 << 10, 4);
  dir.write("big.qb", data);
  const RunResult r = run_qbkit({"-d", "big.qb"}, dir.path());
  EXPECT_EQ(r.status, 0);
  DecompileOptions plain;
  plain.plain = true;
  const Decompiled expected = decompile(data, "big.qb", Settings{}, plain);
  EXPECT_TRUE(r.out == expected.text);
  EXPECT_TRUE(dir.read("big.qb_table.qbi") == expected.table);
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
