#include "compiler/output_buffer.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>

#include "common/assertion.h"
#include "common/huge_pages.h"

namespace qbkit::compiler {
namespace {

bool reachable(size_t position) { return position <= static_cast<size_t>(INT32_MAX); }

}  // namespace

// The capacity is not backed by huge pages: the last one would be resident whole, and the
// output of the benchmark's 21 MB text took 1.3 MiB more memory so, in no less time than with
// the small pages faulted in a chunk at a time.
void OutputBuffer::reserve(size_t bytes) {
  if (bytes <= bytes_.capacity()) return;
  bytes_.reserve(bytes);
  data_ = bytes_.data();
}

void OutputBuffer::grow(size_t bytes) {
  // A chunk ahead at a time, its pages faulted in by one request: the zeros are written just
  // before the bytes, while in cache.
  constexpr size_t kChunk = size_t{256} << 10;
  const size_t size = used_ + std::max(bytes, kChunk);
  if (size <= bytes_.capacity()) prefault(bytes_.data() + bytes_.size(), size - bytes_.size());
  bytes_.resize(size);
  data_ = bytes_.data();
  limit_ = bytes_.size();
}

size_t OutputBuffer::reserve_short() {
  const size_t at = used_;
  emit(0);
  emit(0);
  return at;
}

bool OutputBuffer::patch_short(size_t at, size_t value) {
  QBKIT_ASSERT(at + 2 <= used_);  // precondition: reserve_short placed two bytes at `at`
  if (value > 0xFFFF) return false;
  store_u16le(data_ + at, static_cast<uint16_t>(value));
  return true;
}

bool OutputBuffer::patch_list_to_here(const JumpList& list) {
  for (auto it = list.positions_.rbegin(); it != list.positions_.rend(); ++it) {
    if (!patch_to_here(*it)) return false;
  }
  return true;
}

bool OutputBuffer::reserve_long(uint32_t index, Place from) {
  if (!reachable(used_ + 4)) return false;
  long_offsets_.push_back({static_cast<uint32_t>(used_), index, from});
  emit_u32(0);
  return true;
}

bool OutputBuffer::mark(uint32_t index) {
  if (!reachable(used_)) return false;
  markers_.push_back({static_cast<uint32_t>(used_), index});
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
    store_u32le(data_ + f.position, static_cast<uint32_t>(static_cast<int32_t>(value)));
  }
  return std::nullopt;
}

}  // namespace qbkit::compiler
