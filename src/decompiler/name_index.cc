#include "decompiler/name_index.h"

#include <cstring>
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
  // The records' bytes hold every name and its zero byte, and more.
  arena_ = PageBuffer(scan.names_end - scan.names_begin + kReadable);
  for_each_name_record(data, scan, sizes, [this](uint32_t checksum, std::string_view name) { insert(checksum, name); });
}

void NameIndex::insert(uint32_t checksum, std::string_view name) {
  const uint32_t length = name.size() < kLongName ? static_cast<uint32_t>(name.size()) : kLongName;
  for (size_t s = home(checksum);; s = (s + 1) & mask_) {
    Slot& slot = slots()[s];
    if (slot.name == nullptr) {
      char* text = reinterpret_cast<char*>(arena_.data()) + arena_used_;
      std::memcpy(text, name.data(), name.size());
      arena_used_ += name.size() + 1;  // and a zero byte, where a name of 4 GiB or more ends
      slot = Slot{text, length, checksum};
      return;
    }
    if (slot.checksum == checksum) return;  // an earlier record answers
  }
}

}  // namespace qbkit::decompiler
