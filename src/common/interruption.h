// An interrupted run leaves nothing behind. Every temporary file and every folder that a run
// makes on its way to a result is registered here from the moment it exists until it is
// renamed into place, kept or removed. A run interrupted meanwhile (a closed pipe, Ctrl-C,
// SIGTERM or SIGHUP; on Windows Ctrl-C, Ctrl-Break or a closed console) removes what is
// registered, the newest first, and ends as the interruption ends a process, silently.
//
// The registry is qbkit's one mutable global: an interruption reaches it from a signal handler
// (on Windows, from the thread that the console's events run on). Only the main thread changes
// it, and only while interruptions are held; a thread that other code starts must be started
// while they are held, so that it holds them for its whole life (run_in_parallel does so).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qbkit {

// Makes interruptions clean up; called once, first thing in main. A signal that the process
// was started with ignored (as nohup ignores SIGHUP) stays ignored.
void clean_up_when_interrupted();

// While one lives, interruptions are held: one that comes meanwhile takes effect when the last
// goes away. They nest. Whatever makes or renames a registered path does so under one, with
// the registry's change in the same hold, so that an interruption never finds a path made but
// not registered, or renamed into place but still registered.
class InterruptionsHeld {
 public:
  InterruptionsHeld();
  ~InterruptionsHeld();
  InterruptionsHeld(const InterruptionsHeld&) = delete;
  InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;
};

// Registers a temporary file, which an interruption removes. `handle` is the file while it
// stays open (a Windows HANDLE, which an interruption closes first, so that the file can go),
// or -1. Returns the number by which the registration is changed and forgotten.
size_t register_temporary_file(const std::string& path, intptr_t handle);
// The temporary file is closed: an interruption only removes it.
void temporary_file_closed(size_t id);
// Registers a folder made by this run, which an interruption removes once the files in it are.
size_t register_temporary_folder(const std::string& path);
// The path is no temporary any more: it is gone, renamed into place, or a folder kept.
void forget_temporary(size_t id);

// Windows only (a closed pipe is a signal elsewhere): ends the run as interrupted by a write
// to a closed pipe, at once and silently, once what is registered is removed.
[[noreturn]] void end_run_on_closed_pipe();

}  // namespace qbkit
