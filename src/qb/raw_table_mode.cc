#include "qb/raw_table_mode.h"

#include <optional>
#include <ostream>

#include "common/error.h"
#include "common/file_io.h"
#include "qb/tokens.h"
#include "qb/words.h"

namespace qbkit::qb {

size_t raw_table_start(ByteSpan d, bool& warned) {
  warned = false;
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

ExitStatus raw_table_mode(const std::string& path, std::ostream& out) {
  out << "THIS FUNCTION IS DEPRECATED...\n";
  std::optional<Bytes> file = read_file(path);
  if (!file) {
    out << "Couldn't open file!";
    return kExitFailure;
  }
  const std::string output = path + std::string(kRawTableSuffix);
  if (!may_replace(link_target(output))) {
    out << "Couldn't create table file!\n";
    return kExitFailure;
  }
  // The scan deliberately starts at offset 3 of the file.
  ByteSpan scanned = file->size() > 3 ? ByteSpan(*file).subspan(3) : ByteSpan();
  bool warned = false;
  size_t start = raw_table_start(scanned, warned);
  if (warned) out << "#/ Warning: This file might have a crappy table\n";
  ByteSpan copied = start < scanned.size() ? scanned.subspan(start) : ByteSpan();
  if (!write_file_atomic(output, copied)) {
    out << "Couldn't create table file!\n";
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace qbkit::qb
