// What tests ask of a name table beyond what the tool does with one: a name by its checksum,
// and the whole table as the text of a table file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "qb/name_table.h"
#include "qb/table_file.h"

namespace qbkit::test {

// The name of the first entry with this checksum.
inline std::optional<std::string_view> find_name(const qb::NameTable& table, uint32_t checksum) {
  for (const qb::NameEntry e : table.entries())
    if (e.checksum == checksum) return e.name;
  return std::nullopt;
}

// One table line per entry, in table order, names as stored: the table file that -d writes
// for a stream with these name records.
inline std::string render_table_file(const qb::NameTable& table) {
  std::string text;
  for (const qb::NameEntry e : table.entries())
    qb::put_table_line(e.checksum, e.name, [&text](std::string_view s) { text += s; });
  return text;
}

}  // namespace qbkit::test
