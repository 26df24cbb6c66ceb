// The platform calls on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <streambuf>

#include "common/interruption.h"
#include "common/platform.h"
#include "common/windows_text.h"

namespace qbkit {
namespace {

bool is_console(HANDLE h) {
  DWORD mode;
  return GetConsoleMode(h, &mode) != 0;
}

// Standard output or error written straight to its handle: on a console as UTF-16 through
// WriteConsoleW, so that it shows what the bytes stand for; elsewhere the bytes as they are.
class HandleBuffer final : public std::streambuf {
 public:
  explicit HandleBuffer(DWORD which) : handle_(GetStdHandle(which)), console_(is_console(handle_)) {
    setp(buffer_, buffer_ + sizeof buffer_);
  }
  ~HandleBuffer() override { write_out(true); }

 protected:
  int_type overflow(int_type c) override {
    if (!write_out(false)) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    // A large piece (the text of -d comes in such) goes out without a copy.
    if (console_ || n < static_cast<std::streamsize>(sizeof buffer_)) return std::streambuf::xsputn(s, n);
    if (!write_out(false) || !write_bytes(s, static_cast<size_t>(n))) return 0;
    return n;
  }
  int sync() override { return write_out(false) ? 0 : -1; }

 private:
  // Writes what the buffer holds; on a console, the start of a UTF-8 sequence that the next
  // bytes complete stays in it, unless `last`.
  bool write_out(bool last) {
    const size_t held = static_cast<size_t>(pptr() - pbase());
    size_t taken = held;
    bool ok = true;
    if (console_) {
      std::wstring wide;
      taken = append_console_text(std::string_view(pbase(), held), last, wide);
      DWORD written = 0;
      ok = wide.empty() || WriteConsoleW(handle_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
      ok = write_bytes(pbase(), held);
    }
    std::copy(pbase() + taken, pptr(), buffer_);
    setp(buffer_, buffer_ + sizeof buffer_);
    pbump(static_cast<int>(held - taken));
    return ok;
  }
  bool write_bytes(const char* data, size_t size) {
    while (size > 0) {
      DWORD written = 0;
      if (!WriteFile(handle_, data, static_cast<DWORD>(std::min<size_t>(size, 1u << 30)), &written, nullptr)) {
        const DWORD e = GetLastError();
        // The reader went away (Wine says so with ERROR_PIPE_NOT_CONNECTED).
        if (e == ERROR_NO_DATA || e == ERROR_BROKEN_PIPE || e == ERROR_PIPE_NOT_CONNECTED) end_run_on_closed_pipe();
        return false;
      }
      data += written;
      size -= written;
    }
    return true;
  }

  HANDLE handle_;
  bool console_;
  char buffer_[1 << 14];
};

}  // namespace

std::vector<std::string> command_line_arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> args;
  for (int k = 0; k < count; ++k) args.push_back(utf8_from_wide(wide[k]));
  LocalFree(wide);
  return args;
}

struct StandardStreams::Replaced {
  HandleBuffer out{STD_OUTPUT_HANDLE};
  HandleBuffer err{STD_ERROR_HANDLE};
  std::streambuf* old_out = nullptr;
  std::streambuf* old_err = nullptr;
};

StandardStreams::StandardStreams() : replaced_(std::make_unique<Replaced>()) {
  // What is still written through the C library (a last message of main) keeps its bytes too.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  replaced_->old_out = std::cout.rdbuf(&replaced_->out);
  replaced_->old_err = std::cerr.rdbuf(&replaced_->err);
}

StandardStreams::~StandardStreams() {
  std::cout.flush();
  std::cerr.flush();
  std::cout.rdbuf(replaced_->old_out);
  std::cerr.rdbuf(replaced_->old_err);
}

void set_stdin_binary() { _setmode(_fileno(stdin), _O_BINARY); }

size_t read_standard_input(char* buffer, size_t size) {
  const int n = _read(_fileno(stdin), buffer, static_cast<unsigned>(std::min<size_t>(size, 1u << 30)));
  return n > 0 ? static_cast<size_t>(n) : 0;
}

// Nothing is filled in on Windows.
void hold_standard_descriptors() {}

bool stdout_is_terminal() {
  // Only a console has a console mode. _isatty would also take the NUL device for one, so
  // that a batch file's "> NUL" would hide the messages meant for the user.
  return is_console(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout))));
}

}  // namespace qbkit
