#include "decompiler/jump_targets.h"

#include <algorithm>

namespace qbkit::decompiler {

uint32_t JumpTargets::index_of_target(uint64_t position, size_t jump) {
  auto [it, inserted] = index_.try_emplace(position, static_cast<uint32_t>(index_.size()));
  if (inserted && position > jump && position < data_size_) markers_.push_back({position, it->second});
  return it->second;
}

std::vector<TargetMarker> JumpTargets::sorted_markers() && {
  std::sort(markers_.begin(), markers_.end(),
            [](const TargetMarker& a, const TargetMarker& b) { return a.position < b.position; });
  return std::move(markers_);
}

}  // namespace qbkit::decompiler
