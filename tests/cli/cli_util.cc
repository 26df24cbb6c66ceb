#include "cli/cli_util.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
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

namespace {

// The user "nobody", which run_qbkit becomes for an unprivileged run as root.
std::optional<std::pair<uid_t, gid_t>> nobody() {
  const passwd* user = getpwnam("nobody");
  if (user == nullptr || user->pw_uid == 0) return std::nullopt;
  return std::make_pair(user->pw_uid, user->pw_gid);
}

// What the child does between fork and exec. Only calls that are safe after a fork.
[[noreturn]] void start_child(std::vector<std::string>& command, const std::filesystem::path& cwd,
                              const RunOptions& options, int out_write, int err_write, const char* terminal,
                              std::optional<std::pair<uid_t, gid_t>> user) {
  if (chdir(cwd.c_str()) != 0) _exit(127);
  int target = -1;
  switch (options.out) {
    case Stdout::kCapture: target = out_write; break;
    case Stdout::kFull: target = open("/dev/full", O_WRONLY); break;
    case Stdout::kNull: target = open("/dev/null", O_WRONLY); break;
    case Stdout::kTerminal: setsid(); target = open(terminal, O_RDWR); break;
    case Stdout::kClosed: close(STDOUT_FILENO); break;
  }
  if (options.out != Stdout::kClosed && (target < 0 || dup2(target, STDOUT_FILENO) < 0)) _exit(127);
  dup2(err_write, STDERR_FILENO);
  if (user && (setgroups(0, nullptr) != 0 || setgid(user->second) != 0 || setuid(user->first) != 0)) _exit(126);
  // Signals that the test process blocks or ignores are the child's to take as usual.
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) signal(s, SIG_DFL);
  std::vector<char*> argv;
  for (std::string& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

// A pseudo-terminal: the parent reads what the child writes to its slave, whose name is given.
struct Terminal {
  int master = -1;
  std::string slave;
};

Terminal open_terminal() {
  Terminal t;
  t.master = posix_openpt(O_RDWR | O_NOCTTY);
  if (t.master < 0 || grantpt(t.master) != 0 || unlockpt(t.master) != 0) throw std::runtime_error("no terminal");
  t.slave = ptsname(t.master);
  return t;
}

// Reads the child's output until both ends close or the deadline passes, closing standard
// output early and sending the signal as `options` ask. False when the deadline passed.
bool collect_output(pid_t pid, int out_read, int err_read, const RunOptions& options, RunResult& result) {
  const auto start = std::chrono::steady_clock::now();
  const auto deadline = start + std::chrono::seconds(options.timeout_seconds);
  const auto signal_time = start + options.signal_after;
  bool signalled = options.signal == 0;
  pollfd fds[2] = {{out_read, POLLIN, 0}, {err_read, POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_fds = 2;
  bool in_time = true;
  while (open_fds > 0) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      in_time = false;
      break;
    }
    if (!signalled && now >= signal_time) {
      kill(pid, options.signal);
      signalled = true;
    }
    const auto until = signalled ? deadline : std::min(deadline, signal_time);
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count() + 1;
    if (poll(fds, 2, static_cast<int>(std::min<int64_t>(wait, 1000))) < 0 && errno != EINTR) break;
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || fds[k].revents == 0) continue;
      char buf[65536];
      const ssize_t n = read(fds[k].fd, buf, sizeof buf);
      if (n > 0) sinks[k]->append(buf, static_cast<size_t>(n));
      const bool ended = n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN);
      if (ended || (k == 0 && result.out.size() >= options.close_stdout_after)) {
        close(fds[k].fd);
        fds[k].fd = -1;
        --open_fds;
      }
    }
  }
  for (const pollfd& f : fds)
    if (f.fd >= 0) close(f.fd);
  return in_time;
}

}  // namespace

std::optional<std::string> why_no_unprivileged_runs() {
  if (geteuid() != 0) return std::nullopt;
  if (!nobody()) return "the tests run as root and there is no user \"nobody\" to run qbkit as";
  if (qbkit_is_windows_binary()) return "Wine runs only as the owner of its prefix";
  TempDir dir;
  if (run_qbkit({"--version"}, dir.path(), {.unprivileged = true}).status != 0)
    return "the tests run as root and cannot run qbkit as the user \"nobody\"";
  return std::nullopt;
}

int status_of_signal(int signal) {
  if (qbkit_is_windows_binary() && signal == SIGINT) return 0x3A;  // STATUS_CONTROL_C_EXIT's low byte
  return 128 + signal;
}

RunResult run_qbkit(const std::vector<std::string>& args, const std::filesystem::path& cwd,
                    const RunOptions& options) {
  std::vector<std::string> command = qbkit_command();
  // The program name slot: the binary as named in the command (argv[0] of the child).
  command.insert(command.end(), args.begin(), args.end());
  return run_program(std::move(command), cwd, options);
}

RunResult run_program(std::vector<std::string> command, const std::filesystem::path& cwd,
                      const RunOptions& options) {
  // Wine runs only as the owner of its prefix: a Windows binary runs as the tests do.
  const std::optional<std::pair<uid_t, gid_t>> user =
      options.unprivileged && geteuid() == 0 && !qbkit_is_windows_binary() ? nobody() : std::nullopt;

  int outfd[2], errfd[2];
  if (pipe(outfd) != 0 || pipe(errfd) != 0) throw std::runtime_error("pipe failed");
  Terminal terminal;
  if (options.out == Stdout::kTerminal) terminal = open_terminal();
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (terminal.master >= 0) close(terminal.master);
    close(outfd[0]);
    close(errfd[0]);
    start_child(command, cwd, options, outfd[1], errfd[1], terminal.slave.c_str(), user);
  }
  close(outfd[1]);
  close(errfd[1]);
  if (terminal.master >= 0) {
    close(outfd[0]);
    outfd[0] = terminal.master;
  }
  RunResult result;
  const bool timed_out = !collect_output(pid, outfd[0], errfd[0], options, result);
  if (timed_out) kill(pid, SIGKILL);
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  result.status = timed_out ? 124 : WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  StderrOfFailedTests::instance().record(command, timed_out ? result.err + "(killed: timed out)\n" : result.err);
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

std::map<std::string, std::string> snapshot(const std::filesystem::path& dir) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> files;
  for (const std::string& name : files_in(dir)) {
    const fs::file_status st = fs::symlink_status(dir / name);
    if (fs::is_regular_file(st)) {
      std::ifstream in(dir / name, std::ios::binary);
      files[name] = std::string(std::istreambuf_iterator<char>(in), {}) + " mode " +
                    std::to_string(static_cast<int>(st.permissions()));
    } else {
      files[name] = "kind " + std::to_string(static_cast<int>(st.type()));
    }
  }
  return files;
}

}  // namespace qbkit::test
