// Table files: the "#addx" lines that pair checksums with names beside a decompiled text,
// and mode t's raw copy of a QB file's name records.
#pragma once

#include <iosfwd>
#include <string>

#include "common/bytes.h"
#include "qb/name_table.h"

namespace qbkit::qb {

// One "#addx 0x%08x \"%s\"\n" line per entry, in table order; names are written as stored.
std::string render_table_file(const NameTable& table);

// Writes render_table_file(table) to path + "_table.qbi" (binary, "\n" line ends on every
// platform). Returns false when the file cannot be written.
bool write_table_file(const std::string& path, const NameTable& table);

// Where mode t starts copying within `scanned` (the input bytes from offset 3 on).
// Sets `warned` when neither pattern was found by the first scan.
size_t raw_table_start(ByteSpan scanned, bool& warned);

// Mode t: copies the name-record area of the QB file at `path` into path + ".tab".
// Prints its messages to `out` and returns the exit status (0 or 1).
int create_raw_table_file(const std::string& path, std::ostream& out);

}  // namespace qbkit::qb
