// The archive commands, one function each, for the table of command_table.cc. Each reads its
// inputs (and locks the archive it replaces), calls the archive editing of pre/archive_edit.h
// or the extraction of pre/extract_plan.h, writes the result atomically and prints. Each
// returns the exit status; errors are raised as qbkit::Error.
#pragma once

#include <cstddef>
#include <string>

#include "commands/command_table.h"
#include "common/error.h"

namespace qbkit::commands {

// "new ARCHIVE": an empty archive in place of any file there.
ExitStatus cmd_new(const Invocation& call);
// "add ARCHIVE FILE MAGIC" (compressed with the plain encoder) and "addx ARCHIVE FILE MAGIC"
// (stored): FILE appended under its name as typed. MAGIC is not used: the entry's checksum is
// always computed from the name.
ExitStatus cmd_add(const Invocation& call);
ExitStatus cmd_addx(const Invocation& call);
// The statistics line that add prints after compressing a member of `input_size` bytes into
// `compressed_size`.
std::string statistics_line(size_t input_size, size_t compressed_size);
// "list ARCHIVE": one line per member, its name and its shown checksum.
ExitStatus cmd_list(const Invocation& call);
// "x ARCHIVE": every member written to the path its name gives, all or nothing.
ExitStatus cmd_extract(const Invocation& call);
// "pack ARCHIVE LIST": a new archive in the game's layout from the member list LIST, each
// member read from where x writes it.
ExitStatus cmd_pack(const Invocation& call);
// "update ARCHIVE FILE...": the entries that the files name get their data in the game's
// layout; the other files are appended (pre::update_members).
ExitStatus cmd_update(const Invocation& call);
// "jdc STREAM": a raw stream decoded into uncomp.bin.
ExitStatus cmd_jdc(const Invocation& call);

}  // namespace qbkit::commands
