#include "qb/name_table.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "common/name_checksum.h"

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

// hash_name of the name as the game's checksum reads it.
uint32_t hash_folded(std::string_view s) {
  std::string folded(s);
  for (char& c : folded) c = static_cast<char>(fold_name_byte(static_cast<uint8_t>(c)));
  return hash_name(folded);
}

// The home slot of a 32-bit key in a table of `mask` + 1 slots.
size_t home(uint32_t key, size_t mask) { return (static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull >> 32) & mask; }

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

namespace {

size_t slots_for(size_t entries) {
  size_t slots = kMinSlots;
  while (slots / 2 < entries) slots *= 2;
  return slots;
}

}  // namespace

namespace {

// The key of an index entry and its comparison: the name itself, or the name as the game's
// checksum reads it.
template <NameTable::Match m>
uint32_t hash_for(std::string_view name) {
  return m == NameTable::Match::kExact ? hash_name(name) : hash_folded(name);
}

template <NameTable::Match m>
bool same_key(std::string_view a, std::string_view b) {
  return m == NameTable::Match::kExact ? a == b : same_game_name(a, b);
}

}  // namespace

template <NameTable::Match m>
void NameTable::index_entry(uint32_t i) const {
  std::vector<NameSlot>& slots = index<m>();
  const Entry& e = entries_[i];
  const std::string_view name = view(e);
  const uint32_t h = hash_for<m>(name);
  const size_t mask = slots.size() - 1;
  for (size_t s = home(h, mask);; s = (s + 1) & mask) {
    NameSlot& slot = slots[s];
    if (slot.entry == 0) {
      slot = {h, e.checksum, i + 1};
      return;
    }
    if (slot.hash == h && same_key<m>(view(entries_[slot.entry - 1]), name)) return;
  }
}

// Adding the entries in table order keeps the first entry of every key.
template <NameTable::Match m>
void NameTable::build_index(size_t entries) const {
  index<m>().assign(slots_for(entries), NameSlot{0, 0, 0});
  for (size_t i = 0; i < entries_.size(); ++i) index_entry<m>(static_cast<uint32_t>(i));
}

// Once an index is built, every new entry goes into it, and it doubles before it is half full.
template <NameTable::Match m>
void NameTable::keep_indexed(uint32_t i) const {
  if (index<m>().empty()) return;
  if (entries_.size() > index<m>().size() / 2)
    build_index<m>(entries_.size());
  else
    index_entry<m>(i);
}

template <NameTable::Match m>
std::optional<uint32_t> NameTable::find_in(std::string_view name) const {
  if (entries_.empty()) return std::nullopt;
  if (index<m>().empty()) build_index<m>(std::max(entries_.size(), reserved_));
  const std::vector<NameSlot>& slots = index<m>();
  const size_t mask = slots.size() - 1;
  const uint32_t h = hash_for<m>(name);
  for (size_t s = home(h, mask);; s = (s + 1) & mask) {
    const NameSlot& slot = slots[s];
    if (slot.entry == 0) return std::nullopt;
    if (slot.hash == h && same_key<m>(view(entries_[slot.entry - 1]), name)) return slot.checksum;
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

void NameTable::add_name(uint32_t checksum, std::string_view name) {
  if (entries_.size() >= std::numeric_limits<uint32_t>::max() - 1 ||
      name.size() > std::numeric_limits<uint32_t>::max()) {
    throw std::bad_alloc();
  }
  entries_.push_back(Entry{store(name), static_cast<uint32_t>(name.size()), checksum});
  const auto i = static_cast<uint32_t>(entries_.size() - 1);
  keep_indexed<Match::kExact>(i);
  keep_indexed<Match::kFolded>(i);
}

std::optional<uint32_t> NameTable::find_checksum(std::string_view name) const { return find_in<Match::kExact>(name); }

std::optional<uint32_t> NameTable::find_checksum_folded(std::string_view name) const {
  return find_in<Match::kFolded>(name);
}

}  // namespace qbkit::qb
