// The archive commands, one function each, for the table of command_table.cc. Each reads its
// inputs (and locks the archive it replaces), calls the archive editing of pre/archive_edit.h
// or the extraction of pre/extract_plan.h, writes the result atomically and prints. Each
// returns the exit status; errors are raised as qbkit::Error.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "commands/command_table.h"
#include "common/console.h"
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
// "x ARCHIVE [MEMBER...]": every member, or those named, written to the path its name gives,
// all or nothing.
ExitStatus cmd_extract(const Invocation& call);
// "unpack ARCHIVE DIR": every member written below DIR as x writes it, and beside each QB
// member its script text and table file; status 1 when one does not decompile.
ExitStatus cmd_unpack(const Invocation& call);
// "verify ARCHIVE": whether each QB member comes back byte for byte through a decompile and a
// compile in memory; status 1 when one does not.
ExitStatus cmd_verify(const Invocation& call);
// "diff OLD NEW": what changed between two archives; status 1 when anything did, 2 when
// either cannot be read.
ExitStatus cmd_diff(const Invocation& call);
// "pack ARCHIVE LIST": a new archive in the game's layout from the member list LIST, each
// member read from where x writes it.
ExitStatus cmd_pack(const Invocation& call);
// "update ARCHIVE FILE...": the entries that the files name get their data in the game's
// layout; the other files are appended (pre::update_members).
ExitStatus cmd_update(const Invocation& call);
// "build DIR ARCHIVE": the archive's members from the folder that unpack wrote: edited script
// texts compiled, changed files taken, all or nothing; status 1 when a text does not compile.
ExitStatus cmd_build(const Invocation& call);
// "jdc STREAM": a raw stream decoded into uncomp.bin.
ExitStatus cmd_jdc(const Invocation& call);

// --refs: args are NAME and the paths to search. Prints each place where NAME (or the
// checksum written 0x...) is declared, defined or used; status 1 when there is none, 2 when
// a path cannot be read.
ExitStatus find_references(std::span<const std::string> args, const Console& console);

}  // namespace qbkit::commands
