#include "qb/table_file.h"

#include <string_view>

#include "common/file_io.h"
#include "qb/words.h"

namespace qbkit::qb {

std::string render_table_file(const NameTable& table) {
  static constexpr char kDigits[] = "0123456789abcdef";
  static constexpr std::string_view kHead = "#addx 0x";
  size_t size = 0;
  for (const NameEntry e : table.entries()) size += kHead.size() + 8 + 2 + e.name.size() + 2;
  std::string text;
  text.reserve(size);
  for (const NameEntry e : table.entries()) {
    char hex[8];
    for (int i = 0; i < 8; ++i) hex[i] = kDigits[(e.checksum >> (28 - 4 * i)) & 0xF];
    text += kHead;
    text.append(hex, sizeof hex);
    text += " \"";
    text += e.name;
    text += "\"\n";
  }
  return text;
}

bool write_table_file(const std::string& path, const NameTable& table) {
  return write_file_atomic(table_file_path(path), render_table_file(table));
}

}  // namespace qbkit::qb
