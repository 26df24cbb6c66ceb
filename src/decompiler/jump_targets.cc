#include "decompiler/jump_targets.h"

namespace qbkit::decompiler {

uint32_t JumpTargets::index_of_target(uint64_t position) {
  auto [it, inserted] = index_.try_emplace(position, static_cast<uint32_t>(positions_.size()));
  if (inserted) {
    positions_.push_back(position);
    if (position < flagged_.size()) flagged_[position] = true;
  }
  return it->second;
}

}  // namespace qbkit::decompiler
