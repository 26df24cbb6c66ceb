// Table files: the "#addx" lines that pair checksums with names beside a decompiled text.
#pragma once

#include <string>

#include "qb/name_table.h"

namespace qbkit::qb {

// One "#addx 0x%08x \"%s\"\n" line per entry, in table order; names are written as stored.
std::string render_table_file(const NameTable& table);

// Writes render_table_file(table) to table_file_path(path) (binary, "\n" line ends on every
// platform). Returns false when the file cannot be written.
bool write_table_file(const std::string& path, const NameTable& table);

}  // namespace qbkit::qb
