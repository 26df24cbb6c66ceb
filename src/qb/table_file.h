// Table files: the "#addx" lines that pair checksums with names beside a decompiled text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "qb/name_table.h"

namespace qbkit::qb {

// A line of a table file is its head for the checksum ("#addx 0x", the checksum's eight
// lower-case hexadecimal digits, a space and a double quote), the name as stored, then
// kTableLineEnd. table_line_head writes the head's kTableLineHeadSize bytes at `out`.
inline constexpr size_t kTableLineHeadSize = 18;
inline constexpr std::string_view kTableLineEnd = "\"\n";
void table_line_head(uint32_t checksum, char* out);

// One "#addx 0x%08x \"%s\"\n" line per entry, in table order; names are written as stored.
std::string render_table_file(const NameTable& table);

// Writes render_table_file(table) to table_file_path(path) (binary, "\n" line ends on every
// platform). Returns false when the file cannot be written.
bool write_table_file(const std::string& path, const NameTable& table);

}  // namespace qbkit::qb
