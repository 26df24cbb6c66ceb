// Helpers for end-to-end tests: run the built qbkit binary in a temporary directory and
// capture its standard output and exit status.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"

namespace qbkit::test {

struct RunResult {
  int status = -1;  // the exit status, or 128 and the signal that ended the process
  std::string out;
  std::string err;  // also shown with the report of a test that fails
};

// Where the child's standard output goes: captured into RunResult::out, a full device, the
// null device (what "> /dev/null" or a batch file's "> NUL" gives), nowhere (the descriptor
// closed), or a terminal (a pseudo-terminal whose output is captured; for a Windows binary,
// the console that Wine makes of it).
enum class Stdout { kCapture, kFull, kNull, kClosed, kTerminal };

struct RunOptions {
  Stdout out = Stdout::kCapture;
  int timeout_seconds = 120;  // then the child is killed and the run reports status 124
  // With kCapture: the pipe is closed once this many bytes were read, as "| head" does.
  size_t close_stdout_after = SIZE_MAX;
  // `signal` is sent to the child `signal_after` after it started; 0 for none.
  int signal = 0;
  std::chrono::microseconds signal_after{0};
  // Runs qbkit as a user without privileges (see unprivileged_runs_possible).
  bool unprivileged = false;
};

// Whether run_qbkit can run qbkit as a user that the system's file permissions bind: the
// tests' own user when it is not root; for root, the user "nobody". The reason why not, else.
std::optional<std::string> why_no_unprivileged_runs();

// The status of a run that `signal` ended before it finished: 128 and the signal, as a shell
// gives it. For a Windows binary under Wine, SIGINT is Ctrl-C, which ends the process with
// STATUS_CONTROL_C_EXIT (its low byte, 0x3A, reaches the parent).
int status_of_signal(int signal);

// The command that runs qbkit: QBKIT_EXE from the environment (words separated by spaces,
// for instance a wrapper followed by the binary), or the binary built with the tests.
// Relative paths in QBKIT_EXE are taken from the directory the tests were started in.
std::vector<std::string> qbkit_command();

// The program name qbkit sees in argv[0] and repeats in its usage text: the last word of the
// command; for a Windows binary run through Wine (a wrapper and a ".exe"), its path as Wine
// passes it, on drive Z:. QBKIT_EXE_ARGV0 from the environment overrides the guess.
std::string qbkit_program_name();

// Runs qbkit with `args` (the program name is supplied) in `cwd` and captures its standard
// output and error. A run that outlives its timeout is killed: no test can hang.
RunResult run_qbkit(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                    const RunOptions& options = {});

// Runs `command` (a program and its arguments) as run_qbkit runs qbkit.
RunResult run_program(std::vector<std::string> command, const std::filesystem::path& cwd,
                      const RunOptions& options = {});

// Whether the command runs a Windows binary (its last word ends in ".exe"), through Wine.
bool qbkit_is_windows_binary();

// Every file and directory below `dir`, as relative paths with '/', sorted.
std::vector<std::string> files_in(const std::filesystem::path& dir);

// Every name below `dir` (links not followed) with what stands there: a file's content and
// permission bits, or the kind of anything else. Two equal snapshots: nothing changed.
std::map<std::string, std::string> snapshot(const std::filesystem::path& dir);

// A fresh directory that is removed with everything in it when the object goes away.
// Names given to its members are read as the qbkit under test reads paths: for a Windows
// binary a '\\' separates directories, as '/' does; on Linux it is part of a file name.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const;

  void write(const std::string& name, const std::string& content) const;
  void write(const std::string& name, const Bytes& content) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

}  // namespace qbkit::test
