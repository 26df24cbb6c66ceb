#include "compiler/output_buffer.h"

#include <unordered_map>

#include "common/error.h"
#include "common/format.h"

namespace qbkit::compiler {

size_t OutputBuffer::reserve_short() {
  const size_t at = bytes_.size();
  bytes_.push_back(0);
  bytes_.push_back(0);
  return at;
}

void OutputBuffer::fill_short(size_t at, size_t value, int line) {
  if (value > 0xFFFF) throw Error(1, format("Block too long for a 16-bit offset at line %i\n", line));
  store_u16le(&bytes_[at], static_cast<uint16_t>(value));
}

void OutputBuffer::add_fixup(uint32_t index) {
  fixups_.push_back({static_cast<uint32_t>(bytes_.size()), index, 4});
  for (int i = 0; i < 4; ++i) bytes_.push_back(0);
}

void OutputBuffer::add_marker(uint32_t index) {
  markers_.push_back({static_cast<uint32_t>(bytes_.size()), index, 0});
}

void OutputBuffer::resolve_fixups() {
  // The first marker of each index, as a scan of the marker list from its start finds it.
  std::unordered_map<uint32_t, uint32_t> first_marker;
  first_marker.reserve(markers_.size());
  for (const TargetRecord& m : markers_) first_marker.emplace(m.index, m.position);

  while (!fixups_.empty()) {
    const TargetRecord f = fixups_.back();
    auto it = first_marker.find(f.index);
    if (it == first_marker.end()) {
      throw Error(1, format("Offset pointint to non-existing offset %i\n", static_cast<int>(f.index)));
    }
    const uint32_t target = it->second;
    if (f.width == 4) {
      store_u32le(&bytes_[f.position], target - (f.position + 4));
    } else if (f.width == 2) {
      store_u16le(&bytes_[f.position], static_cast<uint16_t>(target - (f.position + 2)));
    } else {
      throw Error(99, format("INTERNAL: data_offset(%i) has size %i\n", static_cast<int>(f.index),
                             static_cast<int>(f.width)));
    }
    fixups_.pop_back();
  }
}

}  // namespace qbkit::compiler
