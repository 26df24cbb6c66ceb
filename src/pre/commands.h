// The sub-commands of mode p, one a function, for the dispatch in pre_commands.cc. Each reads
// its inputs (and locks the archive it replaces), calls the archive editing of
// archive_edit.h or the extraction of extract.h, writes the result atomically and prints.
// Each returns the exit status; errors are raised as qbkit::Error.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <span>
#include <string>

#include "common/console.h"
#include "common/error.h"

namespace qbkit::pre {

// "new": an empty archive in place of any file at `archive_path`.
ExitStatus cmd_new(const std::string& archive_path);
// "add" (compressed with the plain stream) and "addx" (stored): `qb_path` appended under its
// name as typed. The magic argument is not used: the entry's checksum is always computed from
// the name.
ExitStatus cmd_add(const std::string& archive_path, const std::string& qb_path, bool compress, const Console& console);
// The line "add" prints after compressing a member of `input_size` bytes into
// `compressed_size`: "Size: %i - Compressed: %i - Rate: %f%%\n".
std::string statistics_line(size_t input_size, size_t compressed_size);
// "x": every member written to the path its name gives, all or nothing.
ExitStatus cmd_extract(const std::string& path, const Console& console);
// "jdc": a raw stream decoded into "uncomp.bin".
ExitStatus cmd_jdc(const std::string& path, std::ostream& out);
// "list": one line per member, its name and its shown checksum.
ExitStatus cmd_list(const std::string& path, std::ostream& out);
// "pack": a new archive in the game's layout from the member list at `list_path`, each member
// read from where "x" writes it.
ExitStatus cmd_pack(const std::string& archive_path, const std::string& list_path, std::ostream& out);
// "update": the entries that the files name get their data in the game's layout; the other
// files are appended (archive_edit.h, update_members).
ExitStatus cmd_update(const std::string& archive_path, std::span<const std::string> paths, std::ostream& out);

}  // namespace qbkit::pre
