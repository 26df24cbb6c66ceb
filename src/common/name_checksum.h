// The game's checksum of a name: of an archive member's name, and of every name in a script.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qbkit {

// A name byte as the checksum reads it: A-Z lowered and '/' read as '\'. Names that map to
// the same bytes are one name to the game.
constexpr uint8_t fold_name_byte(uint8_t byte) {
  if (byte >= 'A' && byte <= 'Z') return static_cast<uint8_t>(byte + 0x20);
  return byte == '/' ? static_cast<uint8_t>('\\') : byte;
}

// The name as the checksum reads it: every byte through fold_name_byte.
std::string folded_name(std::string_view name);

// Whether two names are one name to the game: equal byte for byte after fold_name_byte.
bool same_game_name(std::string_view a, std::string_view b);

// CRC-32 (reflected, polynomial 0xEDB88320) started at 0xFFFFFFFF and not inverted at the
// end, over the name's bytes mapped by fold_name_byte.
uint32_t name_checksum(std::string_view name);

}  // namespace qbkit
