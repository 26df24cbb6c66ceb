#include "qb/name_table.h"

namespace qbkit::qb {

void NameTable::add_name(uint32_t checksum, std::string name) {
  size_t index = entries_.size();
  first_by_checksum_.try_emplace(checksum, index);  // keeps an earlier entry's index
  first_by_name_.try_emplace(name, index);
  entries_.push_back({checksum, std::move(name)});
}

const std::string* NameTable::find_name(uint32_t checksum) const {
  auto it = first_by_checksum_.find(checksum);
  return it == first_by_checksum_.end() ? nullptr : &entries_[it->second].name;
}

std::optional<uint32_t> NameTable::find_checksum(std::string_view name) const {
  auto it = first_by_name_.find(name);
  if (it == first_by_name_.end()) return std::nullopt;
  return entries_[it->second].checksum;
}

}  // namespace qbkit::qb
