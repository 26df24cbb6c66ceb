#include "cli/cli_util.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <fstream>
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

RunResult run_qbkit(const std::vector<std::string>& args, const std::filesystem::path& cwd) {
  std::vector<std::string> command = qbkit_command();
  // The program name slot: the binary as named in the command (argv[0] of the child).
  command.insert(command.end(), args.begin(), args.end());

  int pipefd[2];
  if (pipe(pipefd) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(127);
    dup2(pipefd[1], STDOUT_FILENO);
    close(pipefd[0]);
    close(pipefd[1]);
    int devnull = open("/dev/null", O_WRONLY);
    if (devnull >= 0) dup2(devnull, STDERR_FILENO);
    std::vector<char*> argv;
    for (std::string& s : command) argv.push_back(s.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(pipefd[1]);
  RunResult result;
  char buf[4096];
  ssize_t n;
  while ((n = read(pipefd[0], buf, sizeof buf)) > 0) result.out.append(buf, static_cast<size_t>(n));
  close(pipefd[0]);
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
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

}  // namespace qbkit::test
