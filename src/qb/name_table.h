// The name table: the ordered list of (checksum, name) pairs that a QB file's name records
// or a table file's "#addx" lines bring in.
//
// The list only grows; equal checksums and equal names may stand in several entries, and
// every lookup answers with the first matching entry. The names live in one arena of large
// blocks. The compiler looks names up by name: a flat open-addressing index records the first
// entry for each name, so a lookup is one probe sequence in one array and gives exactly what a
// scan from the first entry would. A second index, of names as the game's checksum reads them
// (case and separators folded), is built only when a name first fails to match exactly. Each
// index is built at its first lookup and kept up to date from then on.
//
// A lookup by checksum scans the entries: the decompiler, which looks names up by checksum,
// does so in decompiler::NameIndex, built straight from the stream's name records with no
// table in between.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace qbkit::qb {

struct NameEntry {
  uint32_t checksum;
  std::string_view name;  // stays valid for the life of the table
};

class NameTable {
 public:
  NameTable() = default;
  NameTable(NameTable&&) noexcept = default;
  NameTable& operator=(NameTable&&) noexcept = default;

  // Capacity for `names` entries holding `text_bytes` bytes of names, so that adding that many
  // grows nothing.
  void reserve(size_t names, size_t text_bytes);

  void add_name(uint32_t checksum, std::string_view name);

  // The checksum of the first entry with exactly this name.
  std::optional<uint32_t> find_checksum(std::string_view name) const;
  // The checksum of the first entry whose name is the same name to the game (same_game_name:
  // letter case, and '/' against a backslash, do not count).
  std::optional<uint32_t> find_checksum_folded(std::string_view name) const;

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  NameEntry operator[](size_t i) const { return {entries_[i].checksum, view(entries_[i])}; }

  // The entries in table order, as NameEntry values.
  class Range {
   public:
    class Iterator {
     public:
      Iterator(const NameTable* table, size_t i) : table_(table), i_(i) {}
      NameEntry operator*() const { return (*table_)[i_]; }
      Iterator& operator++() {
        ++i_;
        return *this;
      }
      bool operator!=(const Iterator& other) const { return i_ != other.i_; }

     private:
      const NameTable* table_;
      size_t i_;
    };
    explicit Range(const NameTable* table) : table_(table) {}
    Iterator begin() const { return {table_, 0}; }
    Iterator end() const { return {table_, table_->size()}; }
    NameEntry operator[](size_t i) const { return (*table_)[i]; }
    size_t size() const { return table_->size(); }

   private:
    const NameTable* table_;
  };
  Range entries() const { return Range(this); }

  // The two name indexes: by the name as written, or as the game's checksum reads it.
  enum class Match : uint8_t { kExact, kFolded };

 private:
  struct Entry {
    const char* name;
    uint32_t length;
    uint32_t checksum;
  };
  // Slot of the name index: the name's hash as a tag, the first entry's checksum (so a hit
  // needs no further look-up) and 1 + its index (0: empty slot).
  struct NameSlot {
    uint32_t hash;
    uint32_t checksum;
    uint32_t entry;
  };

  static std::string_view view(const Entry& e) { return {e.name, e.length}; }
  const char* store(std::string_view name);
  // Each index, once built, has a power-of-two size and stays at most half full; an empty
  // vector is an index not built yet. index_entry adds entry i unless an earlier one holds
  // its key.
  template <Match m>
  std::vector<NameSlot>& index() const {
    return m == Match::kExact ? by_name_ : by_folded_;
  }
  template <Match m>
  void build_index(size_t entries) const;
  template <Match m>
  void index_entry(uint32_t i) const;
  template <Match m>
  void keep_indexed(uint32_t i) const;
  template <Match m>
  std::optional<uint32_t> find_in(std::string_view name) const;

  std::vector<Entry> entries_;
  std::vector<std::unique_ptr<char[]>> blocks_;  // the arena; a block never moves
  char* block_next_ = nullptr;
  size_t block_left_ = 0;
  size_t reserved_ = 0;  // entries the indexes are sized for when built
  mutable std::vector<NameSlot> by_name_;
  mutable std::vector<NameSlot> by_folded_;  // hash is of the folded name
};

}  // namespace qbkit::qb
