// The jump-target list: every position that a break or a select branch jumps to, numbered in
// the order in which the jumps were met. The jump, the select branch and the position marker
// at the target all print this number, so that the compiler can pair them up again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "common/assertion.h"

namespace qbkit::decompiler {

class JumpTargets {
 public:
  // `data_size` is the size of the stream being printed: only positions inside it can ever
  // be reached, so only those are flagged for the per-token check.
  explicit JumpTargets(size_t data_size) : data_size_(data_size) {}

  // The index of `position`, appending it to the list when it is new.
  uint32_t index_of_target(uint64_t position);

  // The index of `position` when a jump recorded it, checked before every token.
  std::optional<uint32_t> find_target(uint64_t position) const {
    if (position >= flagged_.size() || !flagged_[position]) return std::nullopt;
    const auto it = index_.find(position);
    QBKIT_ASSERT(it != index_.end());  // index_of_target flags only the positions it adds
    return it->second;
  }

 private:
  size_t data_size_;
  std::unordered_map<uint64_t, uint32_t> index_;
  // One flag per stream position, so that the check before each token costs a bit test
  // rather than a hash lookup. Made at the first jump: most scripts have none.
  std::vector<bool> flagged_;
};

}  // namespace qbkit::decompiler
