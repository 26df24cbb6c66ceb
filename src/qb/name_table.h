// The name table: the ordered list of (checksum, name) pairs that a QB file's name records
// or a table file's "#addx" lines bring in.
//
// The list only grows; equal checksums and equal names may stand in several entries, and
// every lookup answers with the first matching entry. Two indexes beside the list record the
// first entry for each key, so lookups are O(1) on average and give exactly what a scan from
// the first entry would.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qbkit::qb {

struct NameEntry {
  uint32_t checksum;
  std::string name;
};

class NameTable {
 public:
  void add_name(uint32_t checksum, std::string name);

  // The name of the first entry with this checksum, or nullptr.
  const std::string* find_name(uint32_t checksum) const;
  // The checksum of the first entry with exactly this name, or nullopt.
  std::optional<uint32_t> find_checksum(std::string_view name) const;

  const std::vector<NameEntry>& entries() const { return entries_; }
  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }

 private:
  struct StringHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };

  std::vector<NameEntry> entries_;
  std::unordered_map<uint32_t, size_t> first_by_checksum_;
  std::unordered_map<std::string, size_t, StringHash, std::equal_to<>> first_by_name_;
};

}  // namespace qbkit::qb
