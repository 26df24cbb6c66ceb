#include "compiler/output_buffer.h"

#include <cstdint>
#include <unordered_map>

#include "common/assertion.h"
#include "common/huge_pages.h"

namespace qbkit::compiler {
namespace {

bool reachable(size_t position) { return position <= static_cast<size_t>(INT32_MAX); }

}  // namespace

void OutputBuffer::reserve(size_t bytes) {
  if (bytes <= bytes_.capacity()) return;
  bytes_.reserve(bytes);
  prefer_huge_pages(bytes_);
}

size_t OutputBuffer::reserve_short() {
  const size_t at = bytes_.size();
  bytes_.push_back(0);
  bytes_.push_back(0);
  return at;
}

bool OutputBuffer::patch_short(size_t at, size_t value) {
  QBKIT_ASSERT(at + 2 <= bytes_.size());  // precondition: reserve_short placed two bytes at `at`
  if (value > 0xFFFF) return false;
  store_u16le(&bytes_[at], static_cast<uint16_t>(value));
  return true;
}

bool OutputBuffer::patch_list_to_here(const JumpList& list) {
  for (auto it = list.positions_.rbegin(); it != list.positions_.rend(); ++it) {
    if (!patch_to_here(*it)) return false;
  }
  return true;
}

bool OutputBuffer::reserve_long(uint32_t index, Place from) {
  if (!reachable(bytes_.size() + 4)) return false;
  long_offsets_.push_back({static_cast<uint32_t>(bytes_.size()), index, from});
  for (int i = 0; i < 4; ++i) bytes_.push_back(0);
  return true;
}

bool OutputBuffer::mark(uint32_t index) {
  if (!reachable(bytes_.size())) return false;
  markers_.push_back({static_cast<uint32_t>(bytes_.size()), index});
  return true;
}

std::optional<LongOffset> OutputBuffer::resolve_long_offsets() {
  // The first marker of each index, as a scan of the marker list from its start finds it.
  std::unordered_map<uint32_t, uint32_t> first_marker;
  first_marker.reserve(markers_.size());
  for (const Marker& m : markers_) first_marker.emplace(m.index, m.position);

  while (!long_offsets_.empty()) {
    const LongOffset f = long_offsets_.back();
    long_offsets_.pop_back();
    const auto it = first_marker.find(f.index);
    if (it == first_marker.end()) return f;
    // Both positions lie below 2^31, so the difference fits the signed field.
    const int64_t value = static_cast<int64_t>(it->second) - (static_cast<int64_t>(f.position) + 4);
    store_u32le(&bytes_[f.position], static_cast<uint32_t>(static_cast<int32_t>(value)));
  }
  return std::nullopt;
}

}  // namespace qbkit::compiler
