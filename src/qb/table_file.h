// Table files: the "#addx" lines that pair checksums with names beside a decompiled text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qbkit::qb {

// A line of a table file is its head for the checksum ("#addx 0x", the checksum's eight
// lower-case hexadecimal digits, a space and a double quote), the name as stored, then
// kTableLineEnd. table_line_head writes the head's kTableLineHeadSize bytes at `out`.
inline constexpr size_t kTableLineHeadSize = 18;
inline constexpr std::string_view kTableLineEnd = "\"\n";
void table_line_head(uint32_t checksum, char* out);

// Hands the table line that declares `name` with `checksum` to `put` (called with a
// std::string_view) in three pieces: the head, the name as stored, the end. Every writer of
// table lines goes through it: the decompiler (from a stream's name records) and mode k.
template <typename Put>
void put_table_line(uint32_t checksum, std::string_view name, Put&& put) {
  char head[kTableLineHeadSize];
  table_line_head(checksum, head);
  put(std::string_view(head, sizeof head));
  put(name);
  put(kTableLineEnd);
}

}  // namespace qbkit::qb
