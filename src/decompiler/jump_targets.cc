#include "decompiler/jump_targets.h"

namespace qbkit::decompiler {

uint32_t JumpTargets::index_of_target(uint64_t position) {
  auto [it, inserted] = index_.try_emplace(position, static_cast<uint32_t>(index_.size()));
  if (inserted && position < data_size_) {
    if (flagged_.empty()) flagged_.resize(data_size_);
    flagged_[position] = true;
  }
  return it->second;
}

}  // namespace qbkit::decompiler
