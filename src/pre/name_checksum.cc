#include "pre/name_checksum.h"

#include <array>

namespace qbkit::pre {
namespace {

constexpr std::array<uint32_t, 256> make_crc_table() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = make_crc_table();

}  // namespace

uint32_t name_checksum(std::string_view name) {
  uint32_t crc = 0xFFFFFFFFu;
  for (char ch : name) {
    auto byte = static_cast<uint8_t>(ch);
    if (byte >= 'A' && byte <= 'Z') byte = static_cast<uint8_t>(byte + 0x20);
    if (byte == '/') byte = '\\';
    crc = (crc >> 8) ^ kCrcTable[(crc ^ byte) & 0xFF];
  }
  return crc;
}

}  // namespace qbkit::pre
