#include "cli/cli_util.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <stdexcept>

namespace qbkit::test {

std::vector<std::string> qbkit_command() {
  namespace fs = std::filesystem;
  std::vector<std::string> words;
  if (const char* env = std::getenv("QBKIT_EXE"); env && *env) {
    std::istringstream in(env);
    for (std::string w; in >> w;) {
      // The tests run qbkit in temporary directories: a relative path to a file (the binary,
      // or a wrapper script) is made absolute against the directory the tests started in.
      std::error_code ec;
      if (w.find('/') != std::string::npos && !fs::path(w).is_absolute() && fs::exists(w, ec))
        w = fs::absolute(w).lexically_normal().string();
      words.push_back(w);
    }
  }
  if (words.empty()) words.push_back(fs::absolute(QBKIT_BINARY).string());
  return words;
}

namespace {

bool ends_with_exe(const std::string& s) {
  if (s.size() < 4) return false;
  std::string tail = s.substr(s.size() - 4);
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".exe";
}

}  // namespace

bool qbkit_is_windows_binary() { return ends_with_exe(qbkit_command().back()); }

std::string qbkit_program_name() {
  if (const char* env = std::getenv("QBKIT_EXE_ARGV0"); env && *env) return env;
  std::vector<std::string> command = qbkit_command();
  std::string exe = command.back();
  // Wine hands a Windows program its path as a Windows path: the Unix root is drive Z:.
  if (command.size() > 1 && ends_with_exe(exe) && !exe.empty() && exe.front() == '/') {
    std::replace(exe.begin(), exe.end(), '/', '\\');
    return "Z:" + exe;
  }
  return exe;
}

namespace {

// The standard error of every run of the test that is running, printed when it fails: a
// sanitizer's report from the binary lands there.
class StderrOfFailedTests : public testing::EmptyTestEventListener {
 public:
  static StderrOfFailedTests& instance() {
    static StderrOfFailedTests* listener = [] {
      auto* l = new StderrOfFailedTests;
      testing::UnitTest::GetInstance()->listeners().Append(l);  // owned by gtest from here
      return l;
    }();
    return *listener;
  }
  void record(const std::vector<std::string>& command, const std::string& err) {
    if (err.empty()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    text_ += "--- standard error of qbkit";
    for (size_t i = 1; i < command.size(); ++i) text_ += " " + command[i];
    text_ += ":\n" + err;
  }
  void OnTestStart(const testing::TestInfo&) override {
    std::lock_guard<std::mutex> lock(mutex_);
    text_.clear();
  }
  void OnTestEnd(const testing::TestInfo& info) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (info.result()->Failed() && !text_.empty()) std::fputs(text_.c_str(), stdout);
    text_.clear();
  }

 private:
  std::mutex mutex_;
  std::string text_;
};

}  // namespace

RunResult run_qbkit(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                    const RunOptions& options) {
  std::vector<std::string> command = qbkit_command();
  // The program name slot: the binary as named in the command (argv[0] of the child).
  command.insert(command.end(), args.begin(), args.end());
  return run_program(std::move(command), cwd, options);
}

RunResult run_program(std::vector<std::string> command, const std::filesystem::path& cwd,
                      const RunOptions& options) {
  int outfd[2], errfd[2];
  if (pipe(outfd) != 0 || pipe(errfd) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(127);
    switch (options.out) {
      case Stdout::kCapture: dup2(outfd[1], STDOUT_FILENO); break;
      case Stdout::kFull:
      case Stdout::kNull: {
        const int device = open(options.out == Stdout::kFull ? "/dev/full" : "/dev/null", O_WRONLY);
        if (device < 0) _exit(127);
        dup2(device, STDOUT_FILENO);
        close(device);
        break;
      }
      case Stdout::kClosed: close(STDOUT_FILENO); break;
    }
    dup2(errfd[1], STDERR_FILENO);
    for (int fd : {outfd[0], outfd[1], errfd[0], errfd[1]}) close(fd);
    std::vector<char*> argv;
    for (std::string& s : command) argv.push_back(s.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(outfd[1]);
  close(errfd[1]);
  RunResult result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  bool timed_out = false;
  pollfd fds[2] = {{outfd[0], POLLIN, 0}, {errfd[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_fds = 2;
  while (open_fds > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timed_out = true;
      kill(pid, SIGKILL);
      break;
    }
    if (poll(fds, 2, static_cast<int>(std::min<int64_t>(left.count(), 1000))) < 0 && errno != EINTR) break;
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || fds[k].revents == 0) continue;
      char buf[65536];
      const ssize_t n = read(fds[k].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[k]->append(buf, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[k].fd);
        fds[k].fd = -1;
        --open_fds;
      }
    }
  }
  for (const pollfd& f : fds) {
    if (f.fd >= 0) close(f.fd);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  result.status = timed_out ? 124 : WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  StderrOfFailedTests::instance().record(command, timed_out ? result.err + "(killed: timed out)\n" : result.err);
  // Standard error keeps the text mode of its platform; its lines are compared as lines.
  if (qbkit_is_windows_binary()) {
    for (size_t at; (at = result.err.find("\r\n")) != std::string::npos;) result.err.erase(at, 1);
  }
  return result;
}

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  for (;;) {
    path_ = std::filesystem::temp_directory_path() /
            ("qbkit-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
             std::to_string(rd() % 100000));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::operator/(const std::string& name) const {
  if (!qbkit_is_windows_binary()) return path_ / name;
  std::string host = name;
  std::replace(host.begin(), host.end(), '\\', '/');
  return path_ / host;
}

void TempDir::write(const std::string& name, const std::string& content) const {
  std::filesystem::path p = *this / name;
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << content;
}

void TempDir::write(const std::string& name, const Bytes& content) const {
  write(name, std::string(content.begin(), content.end()));
}

std::string TempDir::read(const std::string& name) const {
  std::ifstream in(*this / name, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + name);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool TempDir::exists(const std::string& name) const { return std::filesystem::exists(*this / name); }

std::vector<std::string> files_in(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
    names.push_back(std::filesystem::relative(e.path(), dir).generic_string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace qbkit::test
