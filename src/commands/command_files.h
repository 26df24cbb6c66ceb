// The files of the archive commands: the inputs they read whole, the archive they append to
// (locked while the command runs), the member files, the archive they write, and the errors
// they raise about them.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/console.h"
#include "common/file_io.h"
#include "common/file_system.h"
#include "pre/archive_edit.h"

namespace qbkit::commands {

// The message of an archive, member list or raw stream that cannot be read (status 2).
[[noreturn]] void throw_cannot_open_archive(const std::string& path);
// The message of a member file that cannot be read (status 2).
[[noreturn]] void throw_cannot_read_member(const std::string& path);
// The message of an output file that cannot be written (status 2).
[[noreturn]] void throw_cannot_write(const std::string& path);
// The message of a member that would take the archive past its 32-bit sizes (status 1).
[[noreturn]] void throw_too_large(const std::string& archive_path, const std::string& member);

// A line that reports a failure and lets the command go on (a member that does not decompile):
// on standard output, and also on standard error when standard output is not a terminal, as
// the driver shows the archive commands' own errors.
void report_failure(const Console& console, const std::string& line);

// `path` in the folder `dir`, with a '/' between them when `dir` does not end in a separator.
std::string path_in(const std::string& dir, const std::string& path);

// The whole file at `path` (an archive, a member list, a raw stream); one that cannot be read
// is refused with throw_cannot_open_archive.
Bytes read_input(const std::string& path);

// An archive read whole, with its entries (views into `file`), whatever its size field and
// tag say: for the commands that only read. One that cannot be read is refused with
// throw_cannot_open_archive, one whose entries run past its end as damaged (status 1).
struct ArchiveFile {
  Bytes file;
  std::vector<pre::Member> members;
};
ArchiveFile read_archive(const std::string& path);

// Refuses (throw_too_large) a member file of `size` bytes that an archive cannot hold: its
// 32-bit size fields would wrap. Every member file read is checked here.
void check_member_size(size_t size, const std::string& path, const std::string& archive_path);

// A member file whole; one that cannot be read, or that an archive cannot hold, is refused.
Bytes read_member_file(const std::string& path, const std::string& archive_path);

// The bytes to set aside for reading the member file at `path` whole: its size now and one
// byte more (a file that fills them grew meanwhile), or 0 for a file that no archive can hold
// (read_member_file refuses it).
size_t member_file_capacity(const std::string& path);

// An archive to append to: locked until the object goes away, read whole and checked.
struct AppendTarget {
  LockedFile file;
  pre::AppendableArchive archive;  // views into file.content()
};

// Locks and reads the archive at `path` and refuses (pre::appendable_archive), before any
// other work, a file that cannot be appended to. nullopt when it cannot be opened: each
// command reports that in its turn.
std::optional<AppendTarget> open_for_append(const std::string& path);

// Refuses (throw_cannot_write) an output that may not be replaced (may_replace: a device, a
// FIFO, a folder, a file that may not be written), before the command does its work.
void check_output(FileSystem& files, const std::string& path);

// Writes the pieces as the whole file at `path` (an archive, uncomp.bin), atomically (through a
// link to it); throw_cannot_write when it cannot.
void write_output(FileSystem& files, const std::string& path, std::span<const ByteSpan> pieces);

}  // namespace qbkit::commands
