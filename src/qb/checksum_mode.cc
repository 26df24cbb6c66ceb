#include "qb/checksum_mode.h"

#include <optional>
#include <ostream>
#include <vector>

#include "common/error.h"
#include "common/format.h"
#include "common/name_checksum.h"
#include "common/text_encoding.h"
#include "qb/table_file.h"

namespace qbkit::qb {
namespace {

// A table line ends its name at the first double quote, and a control character (a line
// end, say) would break the line.
bool fits_table_line(const std::string& name) {
  for (const char c : name) {
    const auto b = static_cast<uint8_t>(c);
    if (b == '"' || b < 0x20 || b == 0x7F) return false;
  }
  return true;
}

}  // namespace

ExitStatus checksum_mode(const std::string& program, std::span<const std::string> names, const Console& console) {
  if (names.empty()) {
    console.out << format("Usage: %s -k NAME... (prints a table line with the game's checksum of each name)\n",
                          program.c_str());
    return kExitFailure;
  }
  // The arguments are UTF-8; the script text, and so the name the game reads, holds one byte
  // per character.
  std::vector<std::string> converted;
  for (const std::string& name : names) {
    std::optional<std::string> bytes = single_byte_text(name);
    if (!bytes) {
      throw Error(kExitFailure, format("Name '%s' cannot stand in a table line: it holds a character above U+00FF, "
                                       "and the script text holds one byte per character; nothing was printed\n",
                                       name.c_str()));
    }
    if (!fits_table_line(*bytes)) {
      throw Error(kExitFailure, format("Name '%s' cannot stand in a table line: it holds a double quote or a "
                                       "control character; nothing was printed\n",
                                       show_control_bytes(name).c_str()));
    }
    converted.push_back(std::move(*bytes));
  }
  std::string lines;
  for (const std::string& name : converted)
    put_table_line(name_checksum(name), name, [&lines](std::string_view s) { lines += s; });
  console.out << lines;
  return kExitOk;
}

}  // namespace qbkit::qb
