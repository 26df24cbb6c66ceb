// Which entries of an archive an update changes: a file updates every member that has its
// name under member_key (the game's case and separators, "." parts and repeated separators
// dropped), and a file that names no member becomes a new entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qbkit::pre {

struct UpdateMatch {
  static constexpr size_t kKept = SIZE_MAX;
  // A new entry: named after file `name`, holding the data of file `data` (a later file of the
  // same name gives its data to the entry that an earlier one added).
  struct NewEntry {
    size_t name;
    size_t data;
    bool operator==(const NewEntry&) const = default;
  };
  std::vector<size_t> source;        // for each member: the last file that names it, or kKept
  std::vector<NewEntry> appended;    // in the order of the files that add them
  std::vector<bool> updates;         // for each file: whether it names an entry already there
};

// `members` are the names of the archive's entries in order, `files` the names given to the
// update in order.
UpdateMatch match_update(std::span<const std::string_view> members, std::span<const std::string> files);

}  // namespace qbkit::pre
