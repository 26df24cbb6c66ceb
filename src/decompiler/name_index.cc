#include "decompiler/name_index.h"

#include <limits>
#include <new>

namespace qbkit::decompiler {

NameIndex::NameIndex(ByteSpan data, const StreamScan& scan, const TokenSizes& sizes) {
  if (scan.names == 0) return;
  size_t slots = 16;
  while (slots / 2 < scan.names) {
    if (slots > std::numeric_limits<size_t>::max() / (2 * sizeof(Slot))) throw std::bad_alloc();
    slots *= 2;
  }
  pages_ = PageBuffer(slots * sizeof(Slot));
  mask_ = slots - 1;
  for_each_name_record(data, scan, sizes, [this](uint32_t checksum, std::string_view name) { insert(checksum, name); });
}

void NameIndex::insert(uint32_t checksum, std::string_view name) {
  const uint32_t length = name.size() < kLongName ? static_cast<uint32_t>(name.size()) : kLongName;
  for (size_t s = home(checksum);; s = (s + 1) & mask_) {
    Slot& slot = slots()[s];
    if (slot.name == nullptr) {
      slot = Slot{name.data(), length, checksum};
      return;
    }
    if (slot.checksum == checksum) return;  // an earlier record answers
  }
}

}  // namespace qbkit::decompiler
