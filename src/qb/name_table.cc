#include "qb/name_table.h"

#include <cstring>
#include <limits>
#include <new>

namespace qbkit::qb {
namespace {

constexpr size_t kBlockSize = 64 * 1024;
constexpr size_t kMinSlots = 64;

// A 32-bit hash of a name, eight bytes at a time.
uint32_t hash_name(std::string_view s) {
  uint64_t h = 0x9E3779B97F4A7C15ull ^ s.size();
  const char* p = s.data();
  size_t n = s.size();
  for (; n >= 8; p += 8, n -= 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    h = (h ^ w) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
  }
  uint64_t w = 0;
  if (n > 0) std::memcpy(&w, p, n);
  h = (h ^ w) * 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 29;
  return static_cast<uint32_t>(h);
}

// The home slot of a 32-bit key in a table of `mask` + 1 slots.
size_t home(uint32_t key, size_t mask) { return (static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull >> 32) & mask; }

}  // namespace

const char* NameTable::store(std::string_view name) {
  if (name.empty()) return "";  // a valid address for an empty view, even before any block
  if (name.size() > block_room_) {
    const size_t size = name.size() > kBlockSize / 4 ? name.size() : kBlockSize;
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
    if (size != kBlockSize) return static_cast<const char*>(std::memcpy(blocks_.back().get(), name.data(), name.size()));
    block_next_ = blocks_.back().get();
    block_room_ = size;
  }
  char* at = block_next_;
  std::memcpy(at, name.data(), name.size());
  block_next_ += name.size();
  block_room_ -= name.size();
  return at;
}

void NameTable::grow_indexes(size_t entries) {
  size_t slots = kMinSlots;
  while (slots / 2 < entries) slots *= 2;
  if (slots <= by_checksum_.size()) return;
  by_checksum_.assign(slots, ChecksumSlot{0, 0});
  by_name_.assign(slots, NameSlot{0, 0, 0});
  const size_t mask = slots - 1;
  // Re-adding in table order keeps the first entry of every key.
  for (size_t i = 0; i < entries_.size(); ++i) {
    const Entry& e = entries_[i];
    const auto index = static_cast<uint32_t>(i + 1);
    for (size_t s = home(e.checksum, mask);; s = (s + 1) & mask) {
      if (by_checksum_[s].entry == 0) {
        by_checksum_[s] = {e.checksum, index};
        break;
      }
      if (by_checksum_[s].checksum == e.checksum) break;
    }
    const uint32_t h = hash_name(view(e));
    for (size_t s = home(h, mask);; s = (s + 1) & mask) {
      const NameSlot& slot = by_name_[s];
      if (slot.entry == 0) {
        by_name_[s] = {h, e.checksum, index};
        break;
      }
      if (slot.hash == h && view(entries_[slot.entry - 1]) == view(e)) break;
    }
  }
}

void NameTable::reserve(size_t names, size_t text_bytes) {
  entries_.reserve(names);
  if (text_bytes > block_room_) {
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(text_bytes));
    block_next_ = blocks_.back().get();
    block_room_ = text_bytes;
  }
  grow_indexes(names);
}

void NameTable::add_name(uint32_t checksum, std::string_view name) {
  if (entries_.size() >= std::numeric_limits<uint32_t>::max() - 1 ||
      name.size() > std::numeric_limits<uint32_t>::max()) {
    throw std::bad_alloc();
  }
  const auto index = static_cast<uint32_t>(entries_.size() + 1);
  const Entry e{store(name), static_cast<uint32_t>(name.size()), checksum};
  entries_.push_back(e);
  if (entries_.size() > by_checksum_.size() / 2) {
    grow_indexes(entries_.size());  // indexes the new entry too
    return;
  }
  const size_t mask = by_checksum_.size() - 1;
  for (size_t s = home(checksum, mask);; s = (s + 1) & mask) {
    if (by_checksum_[s].entry == 0) {
      by_checksum_[s] = {checksum, index};
      break;
    }
    if (by_checksum_[s].checksum == checksum) break;  // an earlier entry answers
  }
  const uint32_t h = hash_name(name);
  for (size_t s = home(h, mask);; s = (s + 1) & mask) {
    const NameSlot& slot = by_name_[s];
    if (slot.entry == 0) {
      by_name_[s] = {h, checksum, index};
      break;
    }
    if (slot.hash == h && view(entries_[slot.entry - 1]) == name) break;
  }
}

std::optional<std::string_view> NameTable::find_name(uint32_t checksum) const {
  if (by_checksum_.empty()) return std::nullopt;
  const size_t mask = by_checksum_.size() - 1;
  for (size_t s = home(checksum, mask);; s = (s + 1) & mask) {
    const ChecksumSlot& slot = by_checksum_[s];
    if (slot.entry == 0) return std::nullopt;
    if (slot.checksum == checksum) return view(entries_[slot.entry - 1]);
  }
}

std::optional<uint32_t> NameTable::find_checksum(std::string_view name) const {
  if (by_name_.empty()) return std::nullopt;
  const size_t mask = by_name_.size() - 1;
  const uint32_t h = hash_name(name);
  for (size_t s = home(h, mask);; s = (s + 1) & mask) {
    const NameSlot& slot = by_name_[s];
    if (slot.entry == 0) return std::nullopt;
    if (slot.hash == h && view(entries_[slot.entry - 1]) == name) return slot.checksum;
  }
}

}  // namespace qbkit::qb
