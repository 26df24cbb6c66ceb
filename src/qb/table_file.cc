#include "qb/table_file.h"

#include <ostream>

#include "common/file_io.h"
#include "common/format.h"
#include "qb/tokens.h"

namespace qbkit::qb {

std::string render_table_file(const NameTable& table) {
  std::string text;
  for (const NameEntry& e : table.entries()) {
    append_format(text, "#addx 0x%08x \"", e.checksum);
    text += e.name;
    text += "\"\n";
  }
  return text;
}

bool write_table_file(const std::string& path, const NameTable& table) {
  return write_file_atomic(path + "_table.qbi", render_table_file(table));
}

size_t raw_table_start(ByteSpan d, bool& warned) {
  warned = false;
  // A line break, anything but a name token, a line break, a name record.
  for (size_t p = 0; p + 3 < d.size(); ++p) {
    if (d[p] == kLineBreak && d[p + 1] != kName && d[p + 2] == kLineBreak && d[p + 3] == kNameRecord)
      return p + 1;
  }
  warned = true;
  for (size_t p = 0; p + 1 < d.size(); ++p) {
    if (d[p] == kLineBreak && d[p + 1] == kNameRecord) return p + 1;
  }
  return 2;
}

int create_raw_table_file(const std::string& path, std::ostream& out) {
  std::optional<Bytes> file = read_file(path);
  if (!file) {
    out << "Couldn't open file!";
    return 1;
  }
  // The scan deliberately starts at offset 3 of the file.
  ByteSpan scanned = file->size() > 3 ? ByteSpan(*file).subspan(3) : ByteSpan();
  bool warned = false;
  size_t start = raw_table_start(scanned, warned);
  if (warned) out << "#/ Warning: This file might have a crappy table\n";
  ByteSpan copied = start < scanned.size() ? scanned.subspan(start) : ByteSpan();
  if (!write_file_atomic(path + ".tab", copied)) {
    out << "Couldn't create table file!\n";
    return 1;
  }
  return 0;
}

}  // namespace qbkit::qb
