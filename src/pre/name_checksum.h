// The checksum of an archive member's name.
#pragma once

#include <cstdint>
#include <string_view>

namespace qbkit::pre {

// CRC-32 (reflected, polynomial 0xEDB88320) started at 0xFFFFFFFF and not inverted at the
// end, over the name with A-Z lowered and '/' turned into '\', so that a name checksums the
// same whatever its letter case and separators.
uint32_t name_checksum(std::string_view name);

// The form shown to users: the four stored bytes read big-endian.
inline uint32_t shown_checksum(uint32_t checksum) {
  return (checksum >> 24) | ((checksum >> 8) & 0xFF00) | ((checksum << 8) & 0xFF0000) |
         (checksum << 24);
}

}  // namespace qbkit::pre
