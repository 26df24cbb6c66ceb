#include "qb/table_file.h"

#include <cstring>
#include <string_view>

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

}  // namespace qbkit::qb
