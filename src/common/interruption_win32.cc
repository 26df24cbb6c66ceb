// Interruptions on Windows: the console's Ctrl-C, Ctrl-Break and close events, which the
// system runs on a thread of their own, and a write to a closed pipe. Holding is the registry's
// lock, which that thread takes and keeps until the process ends.
#include <windows.h>

#include "common/error.h"
#include "common/interruption.h"
#include "common/interruption_registry.h"
#include "common/windows_text.h"

namespace qbkit {
namespace {

// How Windows ends a process on Ctrl-C when it has no handler of its own.
constexpr UINT kControlCExit = 0xC000013A;  // STATUS_CONTROL_C_EXIT

// A folder goes once the files in it are gone: a file still being written when its handle
// was closed goes when that write ends, so the folder is tried again for up to a second.
void remove_folder(const std::wstring& path) {
  for (int attempt = 0; attempt < 200; ++attempt) {
    if (RemoveDirectoryW(path.c_str()) || GetLastError() != ERROR_DIR_NOT_EMPTY) return;
    Sleep(5);
  }
}

[[noreturn]] void end_run(UINT status) {
  interruption::Registry& r = interruption::registry();
  r.lock.lock();  // waits for a hold to end, and is never let go: nothing changes any more
  interruption::remove_registered([](interruption::Temporary& t) {
    if (t.folder) {
      remove_folder(wide_path(t.path));
      return;
    }
    // Closing the handle removes the file (it was made so); a file closed already is deleted.
    if (t.handle != -1) CloseHandle(reinterpret_cast<HANDLE>(t.handle));
    t.handle = -1;
    DeleteFileW(wide_path(t.path).c_str());
  });
  TerminateProcess(GetCurrentProcess(), status);
  ExitProcess(status);  // not reached
}

BOOL WINAPI on_console_event(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  end_run(kControlCExit);
}

}  // namespace

void clean_up_when_interrupted() {
  interruption::registry();
  // A process started with Ctrl-C ignored gets no Ctrl-C event: it stays ignored.
  SetConsoleCtrlHandler(on_console_event, TRUE);
}

InterruptionsHeld::InterruptionsHeld() {
  interruption::Registry& r = interruption::registry();
  r.lock.lock();
  ++r.holds;
}

InterruptionsHeld::~InterruptionsHeld() {
  interruption::Registry& r = interruption::registry();
  --r.holds;
  r.lock.unlock();
}

// Windows has no SIGPIPE: a write to a closed pipe fails instead. The run ends as on a signal,
// with the status of a failed command.
void end_run_on_closed_pipe() { end_run(kExitFailure); }

}  // namespace qbkit
