// What the archive commands read, and the errors they raise about it: whole input files,
// archives to append to (locked while the command runs) and member files.
#pragma once

#include <optional>
#include <string>

#include "common/bytes.h"
#include "common/file_io.h"
#include "pre/archive_edit.h"

namespace qbkit::pre {

// "Couldn't open file '%s' for reading!\n", status 2.
[[noreturn]] void throw_cannot_open_archive(const std::string& path);
// "Couldn't open QB file '%s' for reading!\n", status 2.
[[noreturn]] void throw_cannot_read_member(const std::string& path);
// "Archive '%s' cannot hold '%s': an archive holds at most 4 GiB\n", status 1.
[[noreturn]] void throw_too_large(const std::string& archive_path, const std::string& member);

// The whole file at `path` (an archive, a member list, a raw stream); one that cannot be read
// is refused with throw_cannot_open_archive.
Bytes read_input(const std::string& path);

// A member file whole; one that cannot be read, or that an archive cannot hold, is refused.
Bytes read_member_file(const std::string& path, const std::string& archive_path);

// An archive to append to: locked until the object goes away, read whole and checked.
struct AppendTarget {
  LockedFile file;
  AppendableArchive archive;  // views into file.content()
};

// Locks and reads the archive at `path` and refuses (appendable_archive), before any other
// work, a file that cannot be appended to. nullopt when it cannot be opened: each command
// reports that in its turn.
std::optional<AppendTarget> open_for_append(const std::string& path);

}  // namespace qbkit::pre
