#include "common/name_checksum.h"

#include <array>

namespace qbkit {
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

std::string folded_name(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = static_cast<char>(fold_name_byte(static_cast<uint8_t>(c)));
  return folded;
}

bool same_game_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t k = 0; k < a.size(); ++k)
    if (fold_name_byte(static_cast<uint8_t>(a[k])) != fold_name_byte(static_cast<uint8_t>(b[k]))) return false;
  return true;
}

uint32_t name_checksum(std::string_view name) {
  uint32_t crc = 0xFFFFFFFFu;
  for (char ch : name) crc = (crc >> 8) ^ kCrcTable[(crc ^ fold_name_byte(static_cast<uint8_t>(ch))) & 0xFF];
  return crc;
}

}  // namespace qbkit
