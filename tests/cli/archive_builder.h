// Archives made in memory for the end-to-end tests, so that a test can hand qbkit an archive
// that qbkit itself would refuse to make (unsafe names, paths through other members).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/bytes.h"
#include "pre/archive.h"

namespace qbkit::test {

// An archive with the given members (name, data), stored, in the order given.
inline std::string archive_with(const std::vector<std::pair<std::string, std::string>>& members) {
  pre::ArchiveHeader header{12, pre::kFormatTag, 0};
  Bytes body;
  for (const auto& [name, data] : members)
    pre::append_entry(body, header, static_cast<uint32_t>(data.size()), 0, name,
                      ByteSpan(reinterpret_cast<const uint8_t*>(data.data()), data.size()), "");
  Bytes file = pre::header_bytes(header);
  file.insert(file.end(), body.begin(), body.end());
  return std::string(file.begin(), file.end());
}

}  // namespace qbkit::test
