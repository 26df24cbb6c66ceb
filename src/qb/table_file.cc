#include "qb/table_file.h"

#include "common/file_io.h"
#include "common/format.h"
#include "qb/words.h"

namespace qbkit::qb {

std::string render_table_file(const NameTable& table) {
  std::string text;
  for (const NameEntry e : table.entries()) {
    append_format(text, "#addx 0x%08x \"", e.checksum);
    text += e.name;
    text += "\"\n";
  }
  return text;
}

bool write_table_file(const std::string& path, const NameTable& table) {
  return write_file_atomic(table_file_path(path), render_table_file(table));
}

}  // namespace qbkit::qb
