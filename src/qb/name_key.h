// A name as the name table's exact index files it: its first 24 bytes as three words (zero
// past its end), its length and a hash. A slot of the index holds the same words, so a name of
// up to 24 bytes is compared with a slot without reading the name's text anywhere else.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace qbkit::qb {

struct NameKey {
  static constexpr size_t kHeadBytes = 24;
  uint64_t head[3];
  uint64_t hash;
  const char* text;
  size_t length;

  static NameKey of(std::string_view name) {
    uint8_t bytes[kHeadBytes] = {};
    if (!name.empty()) std::memcpy(bytes, name.data(), name.size() < kHeadBytes ? name.size() : kHeadBytes);
    return make(bytes, name.data(), name.size(), tail(name.data(), name.size()));
  }
  // The same key, for a name with at least 24 readable bytes from its start, whatever lies past
  // its end (the compiler's texts are padded so): three loads and three masks.
  static NameKey of_padded(const char* text, size_t length) {
    const uint8_t* mask = kHeadMasks[length < kHeadBytes ? length : kHeadBytes].data();
    NameKey k{{load(text) & load(mask), load(text + 8) & load(mask + 8), load(text + 16) & load(mask + 16)},
              0,
              text,
              length};
    k.hash = hash_of(k.head[0], k.head[1], tail(text, length), length);
    return k;
  }

  static uint64_t load(const void* p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
  }

 private:
  static NameKey make(const uint8_t* bytes, const char* text, size_t length, uint64_t last) {
    NameKey k{{load(bytes), load(bytes + 8), load(bytes + 16)}, 0, text, length};
    k.hash = hash_of(k.head[0], k.head[1], last, length);
    return k;
  }
  // The last 8 bytes of a name longer than 16; they hold what the first 16 leave out of most
  // names.
  static uint64_t tail(const char* text, size_t length) { return length > 16 ? load(text + length - 8) : 0; }
  // Of the first 16 bytes, the last 8 and the length: names that differ only between their
  // 16th and their last 8 bytes share a hash, and are told apart by the comparison.
  static uint64_t hash_of(uint64_t head0, uint64_t head1, uint64_t last, size_t length) {
    uint64_t h = (head0 ^ 0x9E3779B97F4A7C15ull) * 0xFF51AFD7ED558CCDull;
    h ^= (head1 + length) * 0xC4CEB9FE1A85EC53ull;
    h ^= last * 0x94D049BB133111EBull;
    return h ^ (h >> 32);
  }
  // kHeadMasks[n]: n bytes of 0xFF, then zeros; loaded as words, they keep a name's first n
  // bytes whatever the byte order.
  static constexpr auto kHeadMasks = [] {
    std::array<std::array<uint8_t, kHeadBytes>, kHeadBytes + 1> masks{};
    for (size_t n = 0; n <= kHeadBytes; ++n) {
      for (size_t i = 0; i < n; ++i) masks[n][i] = 0xFF;
    }
    return masks;
  }();
};

}  // namespace qbkit::qb
