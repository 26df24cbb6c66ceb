#include "qb/name_table.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "common/name_checksum.h"

namespace qbkit::qb {
namespace {

constexpr size_t kBlockSize = 64 * 1024;
constexpr size_t kMinSlots = 64;

uint64_t load64(const void* p) { return NameKey::load(p); }

// A 32-bit hash of a name, eight bytes at a time (the folded index's).
uint32_t hash_name(std::string_view s) {
  uint64_t h = 0x9E3779B97F4A7C15ull ^ s.size();
  const char* p = s.data();
  size_t n = s.size();
  for (; n >= 8; p += 8, n -= 8) {
    h = (h ^ load64(p)) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
  }
  uint64_t w = 0;
  if (n > 0) std::memcpy(&w, p, n);
  h = (h ^ w) * 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 29;
  return static_cast<uint32_t>(h);
}

// hash_name of the name as the game's checksum reads it.
uint32_t hash_folded(std::string_view s) { return hash_name(folded_name(s)); }

// The home slot of a 32-bit key in a table of `mask` + 1 slots.
size_t home(uint32_t key, size_t mask) { return (static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull >> 32) & mask; }

// Whether `entries` entries fill an index of `slots` slots beyond three quarters.
bool overfull(size_t entries, size_t slots) { return entries > slots / 4 * 3; }

// The slots for `entries` entries: the smallest power of two they leave at most three
// quarters full.
size_t slots_for(size_t entries) {
  size_t slots = kMinSlots;
  while (overfull(entries, slots)) slots *= 2;
  return slots;
}

}  // namespace

const char* NameTable::store(std::string_view name) {
  if (name.empty()) return "";  // a valid address for an empty view, even before any block
  if (name.size() > block_left_) {
    const size_t size = name.size() > kBlockSize / 4 ? name.size() : kBlockSize;
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
    if (size != kBlockSize) return static_cast<const char*>(std::memcpy(blocks_.back().get(), name.data(), name.size()));
    block_next_ = blocks_.back().get();
    block_left_ = size;
  }
  char* at = block_next_;
  std::memcpy(at, name.data(), name.size());
  block_next_ += name.size();
  block_left_ -= name.size();
  return at;
}

// Files entry i under `key`, its key, unless an earlier entry holds that key.
void NameTable::file_exact(uint32_t i, const NameKey& key) const {
  const Entry& e = entries_[i];
  ExactSlot* slots = exact();
  const size_t mask = exact_slots_ - 1;
  const uint64_t rest = e.length <= NameKey::kHeadBytes ? key.head[2] : reinterpret_cast<uintptr_t>(e.name);
  for (size_t s = key.hash & mask;; s = (s + 1) & mask) {
    ExactSlot& slot = slots[s];
    if (slot.size_code == 0) {
      slot = {{key.head[0], key.head[1]}, rest, e.length + 1, e.checksum};
      return;
    }
    if (slot.size_code == e.length + 1 && slot.head[0] == key.head[0] && slot.head[1] == key.head[1] &&
        (e.length <= NameKey::kHeadBytes ? slot.rest == rest : same_rest(slot, key))) {
      return;
    }
  }
}

// Adding the entries in table order keeps the first entry of every key. (Asking for each
// entry's slot some entries before it is filed, so that the cache misses overlap, gained
// nothing measurable on the benchmark's 44,000 names.)
void NameTable::build_exact(size_t entries) const {
  exact_slots_ = slots_for(entries);
  by_name_ = PageBuffer(exact_slots_ * sizeof(ExactSlot));
  for (size_t i = 0; i < entries_.size(); ++i) file_exact(static_cast<uint32_t>(i), NameKey::of(view(entries_[i])));
}

void NameTable::file_folded(uint32_t i) const {
  const Entry& e = entries_[i];
  const std::string_view name = view(e);
  const uint32_t h = hash_folded(name);
  const size_t mask = by_folded_.size() - 1;
  for (size_t s = home(h, mask);; s = (s + 1) & mask) {
    NameSlot& slot = by_folded_[s];
    if (slot.entry == 0) {
      slot = {h, e.checksum, i + 1};
      return;
    }
    if (slot.hash == h && same_game_name(view(entries_[slot.entry - 1]), name)) return;
  }
}

void NameTable::build_folded(size_t entries) const {
  by_folded_.assign(slots_for(entries), NameSlot{0, 0, 0});
  for (size_t i = 0; i < entries_.size(); ++i) file_folded(static_cast<uint32_t>(i));
}

// Once an index is built, every new entry goes into it, and it is rebuilt larger when the
// entry would fill it beyond three quarters.
void NameTable::keep_indexed(uint32_t i) const {
  if (exact_slots_ != 0) {
    if (overfull(entries_.size(), exact_slots_))
      build_exact(entries_.size());
    else
      file_exact(i, NameKey::of(view(entries_[i])));
  }
  if (!by_folded_.empty()) {
    if (overfull(entries_.size(), by_folded_.size()))
      build_folded(entries_.size());
    else
      file_folded(i);
  }
}

std::optional<uint32_t> NameTable::find_unindexed(const NameKey& key) const {
  if (entries_.empty()) return std::nullopt;
  build_exact(std::max(entries_.size(), reserved_));
  return find_checksum(key);
}

std::optional<uint32_t> NameTable::find_checksum_reference(std::string_view name) const {
  for (const Entry& e : entries_) {
    if (view(e) == name) return e.checksum;
  }
  return std::nullopt;
}

std::optional<uint32_t> NameTable::find_checksum_folded(std::string_view name) const {
  if (entries_.empty()) return std::nullopt;
  if (by_folded_.empty()) build_folded(std::max(entries_.size(), reserved_));
  const size_t mask = by_folded_.size() - 1;
  const uint32_t h = hash_folded(name);
  for (size_t s = home(h, mask);; s = (s + 1) & mask) {
    const NameSlot& slot = by_folded_[s];
    if (slot.entry == 0) return std::nullopt;
    if (slot.hash == h && same_game_name(view(entries_[slot.entry - 1]), name)) return slot.checksum;
  }
}

void NameTable::reserve(size_t names, size_t text_bytes) {
  entries_.reserve(names);
  reserved_ = names;
  if (text_bytes > block_left_) {
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(text_bytes));
    block_next_ = blocks_.back().get();
    block_left_ = text_bytes;
  }
}

void NameTable::add_name(uint32_t checksum, std::string_view name) { add_kept_name(checksum, {store(name), name.size()}); }

void NameTable::add_kept_name(uint32_t checksum, std::string_view name) {
  // A length plus one fits a slot's 32 bits.
  if (entries_.size() >= std::numeric_limits<uint32_t>::max() - 1 || name.size() >= UINT32_MAX - 1) {
    throw std::bad_alloc();
  }
  entries_.push_back(Entry{name.empty() ? "" : name.data(), static_cast<uint32_t>(name.size()), checksum});
  keep_indexed(static_cast<uint32_t>(entries_.size() - 1));
}

}  // namespace qbkit::qb
