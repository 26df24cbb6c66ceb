#include "qb/table_file.h"

#include <cstring>
#include <string_view>

#include "common/file_io.h"
#include "qb/words.h"

namespace qbkit::qb {

void table_line_head(uint32_t checksum, char* out) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out[0] = '#';
  static_assert(kAddxWord.size() == 4);
  std::memcpy(out + 1, kAddxWord.data(), 4);
  std::memcpy(out + 5, " 0x", 3);
  for (int i = 0; i < 8; ++i) out[8 + i] = kDigits[(checksum >> (28 - 4 * i)) & 0xF];
  out[16] = ' ';
  out[17] = '"';
}

std::string render_table_file(const NameTable& table) {
  size_t size = 0;
  for (const NameEntry e : table.entries()) size += kTableLineHeadSize + e.name.size() + kTableLineEnd.size();
  std::string text;
  text.reserve(size);
  for (const NameEntry e : table.entries()) {
    char head[kTableLineHeadSize];
    table_line_head(e.checksum, head);
    text.append(head, sizeof head);
    text += e.name;
    text += kTableLineEnd;
  }
  return text;
}

bool write_table_file(const std::string& path, const NameTable& table) {
  return write_file_atomic(table_file_path(path), render_table_file(table));
}

}  // namespace qbkit::qb
