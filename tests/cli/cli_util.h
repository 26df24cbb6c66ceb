// Helpers for end-to-end tests: run the built qbkit binary in a temporary directory and
// capture its standard output and exit status.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/bytes.h"

namespace qbkit::test {

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;  // also shown with the report of a test that fails; "\r\n" read as "\n"
};

// Where the child's standard output goes: captured into RunResult::out, a full device, the
// null device (what "> /dev/null" or a batch file's "> NUL" gives), or nowhere (the
// descriptor closed).
enum class Stdout { kCapture, kFull, kNull, kClosed };

struct RunOptions {
  Stdout out = Stdout::kCapture;
  int timeout_seconds = 120;  // then the child is killed and the run reports status 124
};

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
