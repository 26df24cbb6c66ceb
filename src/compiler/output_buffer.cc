#include "compiler/output_buffer.h"

#include <cstdint>
#include <unordered_map>

#include "common/assertion.h"
#include "common/error.h"
#include "common/format.h"
#include "common/huge_pages.h"

namespace qbkit::compiler {

uint32_t long_offset_position(size_t position, int line) {
  if (position > static_cast<size_t>(INT32_MAX)) {
    throw Error(kExitFailure, format("Output too large for a 32-bit offset at line %i\n", line));
  }
  return static_cast<uint32_t>(position);
}

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

void OutputBuffer::patch_short(size_t at, size_t value, int line) {
  QBKIT_ASSERT(at + 2 <= bytes_.size());  // precondition: reserve_short placed two bytes at `at`
  if (value > 0xFFFF) throw Error(kExitFailure, format("Block too long for a 16-bit offset at line %i\n", line));
  store_u16le(&bytes_[at], static_cast<uint16_t>(value));
}

void OutputBuffer::patch_list_to_here(const JumpList& list, int line) {
  for (auto it = list.positions_.rbegin(); it != list.positions_.rend(); ++it) patch_to_here(*it, line);
}

void OutputBuffer::reserve_long(uint32_t index, int line) {
  long_offsets_.push_back({long_offset_position(bytes_.size() + 4, line) - 4, index});
  for (int i = 0; i < 4; ++i) bytes_.push_back(0);
}

void OutputBuffer::mark(uint32_t index, int line) {
  markers_.push_back({long_offset_position(bytes_.size(), line), index});
}

void OutputBuffer::resolve_long_offsets() {
  // The first marker of each index, as a scan of the marker list from its start finds it.
  std::unordered_map<uint32_t, uint32_t> first_marker;
  first_marker.reserve(markers_.size());
  for (const Target& m : markers_) first_marker.emplace(m.index, m.position);

  while (!long_offsets_.empty()) {
    const Target f = long_offsets_.back();
    const auto it = first_marker.find(f.index);
    if (it == first_marker.end()) {
      throw Error(kExitFailure, format("Offset pointint to non-existing offset %i\n", static_cast<int>(f.index)));
    }
    // Both positions lie below 2^31, so the difference fits the signed field.
    const int64_t value = static_cast<int64_t>(it->second) - (static_cast<int64_t>(f.position) + 4);
    store_u32le(&bytes_[f.position], static_cast<uint32_t>(static_cast<int32_t>(value)));
    long_offsets_.pop_back();
  }
}

}  // namespace qbkit::compiler
