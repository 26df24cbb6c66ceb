// The two compressors: the brute-force reference and the fast chain matcher.
//
// Both write the same groups: every flag byte starts as 0xFF and a back reference clears its
// bit; the first group always holds eight literals (input bytes, then zero bytes when the
// input is shorter), so no search happens before position 8.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "common/format.h"
#include "pre/lzss.h"

namespace qbkit::pre {
namespace {

constexpr size_t kFirstGroup = 8;

// Writes items into groups of eight, straight into a buffer sized for the largest stream.
// A group's flag byte is placed when its first item comes; the last group may be short.
class GroupWriter {
 public:
  explicit GroupWriter(size_t input_size) {
    // The largest stream: the first group, then every byte a literal, one flag per eight;
    // one spare byte lets an item always write two bytes.
    size_t rest = input_size > kFirstGroup ? input_size - kFirstGroup : 0;
    out_.resize(1 + kFirstGroup + rest + (rest + 7) / 8 + 1);
  }

  void first_group(ByteSpan input) {
    out_[0] = 0xFF;
    for (size_t i = 0; i < kFirstGroup; ++i) out_[1 + i] = i < input.size() ? input[i] : 0;
    at_ = 1 + kFirstGroup;
  }

  // One item: a reference to input index `from` of `length` bytes when `is_reference`, else
  // the literal `byte`. Both kinds take the same path, as which one comes is hard to predict.
  void item(bool is_reference, uint8_t byte, size_t from, size_t length) {
    uint8_t* out = out_.data();
    if (item_ == 0) {
      flag_at_ = at_;
      out[at_++] = 0xFF;
    }
    size_t p = (from - kPositionBias) & (kWindowSize - 1);
    out[at_] = is_reference ? static_cast<uint8_t>(p & 0xFF) : byte;
    out[at_ + 1] = static_cast<uint8_t>(((p >> 8) << 4) | ((length - kMinMatch) & 0x0F));
    out[flag_at_] &= static_cast<uint8_t>(~(unsigned{is_reference} << item_));
    at_ += 1 + size_t{is_reference};
    item_ = (item_ + 1) & 7;
  }

  void literal(uint8_t byte) { item(false, byte, 0, kMinMatch); }
  void reference(size_t from, size_t length) { item(true, 0, from, length); }

  Bytes finish() {
    out_.resize(at_);
    return std::move(out_);
  }

 private:
  Bytes out_;
  size_t at_ = 0;       // bytes written
  size_t flag_at_ = 0;  // where the flag byte of the current group is
  unsigned item_ = 0;   // items in the current group, 0 to 7
};

struct Match {
  size_t from = 0;
  size_t length = 0;  // 0: no match
};

// The search at `pos` as the stream defines it: candidates oldest first; one is examined
// only while it lies at least the best length before pos and the best is shorter than 18;
// it must match the whole best length, and then the match is extended as far as it goes.
Match search_reference(ByteSpan in, size_t pos) {
  const size_t n = in.size();
  Match best;
  if (pos + kMinMatch > n) return best;
  size_t s = pos > kMaxDistance ? pos - kMaxDistance : 0;
  if (s + kMinMatch > pos) return best;
  size_t length = kMinMatch;
  for (size_t i = s; i + length <= pos && length < kMaxMatch; ++i) {
    if (!std::equal(in.begin() + i, in.begin() + i + length, in.begin() + pos)) continue;
    best.from = i;
    while (length < kMaxMatch && pos + length < n && in[i + length] == in[pos + length]) ++length;
    best.length = length;
  }
  return best;
}

// The positions of the window, linked by the hash of their 3-byte prefix into chains that
// run oldest first. Links live in a ring of 4096 slots, one per position, beside the bucket
// each position went into, so that the oldest position can leave its chain without its
// prefix being hashed again.
//
// The chains hold exactly the candidates of a search: when the search at pos begins,
// positions up to pos - 3 have been added, and adding position i has removed position
// i - 4093 (pos - 4096 for the last one added), the newest one that lies before the window.
class PrefixChains {
 public:
  static constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
  static constexpr size_t kRing = kWindowSize;
  static constexpr uint32_t kLag = kMaxDistance - (kMinMatch - 1);  // 4093

  explicit PrefixChains(ByteSpan input) : data_(input.data()), size_(input.size()) {
    // Small inputs get small tables: setting them up should not cost more than the input.
    hash_bits_ = 10;
    while (hash_bits_ < 16 && (size_t{1} << hash_bits_) < input.size()) ++hash_bits_;
    ends_.assign(size_t{1} << hash_bits_, Ends{});
  }

  // Adds position i, which has at least four bytes in the input; positions are added in
  // order from 0.
  void insert(uint32_t i) {
    if (i >= kLag) {
      // The oldest position of its chain leaves it. When it was the last one, its link is
      // kNone and the chain is empty again; the stale tail is never read then.
      const size_t old = (i - kLag) % kRing;
      ends_[bucket_[old]].head = next_[old];
    }
    uint32_t word;
    std::memcpy(&word, data_ + i, sizeof word);
    const uint32_t h = hash_prefix(word);
    const size_t slot = i % kRing;
    bucket_[slot] = static_cast<uint16_t>(h);
    next_[slot] = kNone;
    Ends& chain = ends_[h];
    // Link i after the tail, or make it the head of an empty chain (its link then goes to a
    // spare slot). Which case it is follows the data and is hard to predict, so both are
    // chosen by a mask: written as a condition, the compiler makes it a branch.
    const uint32_t empty = 0u - uint32_t{chain.head == kNone};
    next_[((chain.tail % kRing) & ~empty) | (kRing & empty)] = i;
    chain.head = (i & empty) | (chain.head & ~empty);
    chain.tail = i;
  }

  // Asks for the chain of a position's prefix, given as a loaded word, to be in the cache
  // before it is searched.
  void prefetch(uint32_t word) const { __builtin_prefetch(&ends_[hash_prefix(word)]); }

  // The oldest candidate whose prefix hashes like that of `pos`, or kNone.
  uint32_t first(uint32_t pos) const { return ends_[hash(pos)].head; }
  // The same for a position with four bytes in the input, given as a loaded word.
  uint32_t first_of_word(uint32_t word) const { return ends_[hash_prefix(word)].head; }

  // The position after i in its chain, or kNone.
  uint32_t next(uint32_t i) const { return next_[i % kRing]; }

 private:
  // The hash of the first three bytes of a word loaded from the input.
  uint32_t hash_prefix(uint32_t word) const {
    uint32_t v = std::endian::native == std::endian::little ? word & 0xFFFFFFu : word >> 8;
    return (v * 2654435761u) >> (32 - hash_bits_);
  }

  // The hash of the three bytes at i, read as one word where a fourth byte exists.
  uint32_t hash(uint32_t i) const {
    uint8_t bytes[4] = {0, 0, 0, 0};
    if (i + 4 <= size_)
      std::memcpy(bytes, data_ + i, 4);
    else
      std::memcpy(bytes, data_ + i, 3);
    uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    return hash_prefix(word);
  }

  const uint8_t* data_;
  size_t size_;
  unsigned hash_bits_;
  // The oldest and the newest position of each chain, side by side in one cache line.
  struct Ends {
    uint32_t head = kNone;
    uint32_t tail = kNone;
  };
  std::vector<Ends> ends_;
  uint32_t next_[kRing + 1];  // the spare slot takes the link of a chain's first position
  uint16_t bucket_[kRing];
};

// Index of the first differing byte of two words loaded from memory (x = a ^ b, not 0).
inline size_t first_difference(uint64_t x) {
  if constexpr (std::endian::native == std::endian::little)
    return static_cast<size_t>(std::countr_zero(x)) >> 3;
  else
    return static_cast<size_t>(std::countl_zero(x)) >> 3;
}

inline uint64_t load_word(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The length of the common run of a and b, up to `limit` bytes.
inline size_t common_length(const uint8_t* a, const uint8_t* b, size_t limit) {
  size_t k = 0;
  while (k < limit && a[k] == b[k]) ++k;
  return k;
}

// The common run of the 18 bytes at a and at b (both readable), compared a word at a time.
inline size_t common_length_18(const uint8_t* a, const uint8_t* b) {
  uint64_t x = load_word(a) ^ load_word(b);
  if (x != 0) return first_difference(x);
  x = load_word(a + 8) ^ load_word(b + 8);
  if (x != 0) return 8 + first_difference(x);
  return 16 + common_length(a + 16, b + 16, 2);
}

}  // namespace

Bytes compress_reference(ByteSpan in) {
  GroupWriter writer(in.size());
  writer.first_group(in);
  for (size_t pos = kFirstGroup; pos < in.size();) {
    Match m = search_reference(in, pos);
    if (m.length > 0) {
      writer.reference(m.from, m.length);
      pos += m.length;
    } else {
      writer.literal(in[pos]);
      pos += 1;
    }
  }
  return writer.finish();
}

// Only candidates that share the first three bytes with pos can ever be accepted (the best
// length is never below 3), and the stop conditions depend only on the candidate's index and
// the best length, so walking those candidates alone, oldest first, visits exactly the
// candidates the reference accepts, in its order.
Bytes compress_fast(ByteSpan in) {
  const size_t n = in.size();
  GroupWriter writer(n);
  writer.first_group(in);
  if (n <= kFirstGroup) return writer.finish();

  // The chains hold positions as 32-bit numbers; past that (no archive member can be so
  // large) only the brute-force matcher is exact.
  if (n > PrefixChains::kNone) return compress_reference(in);

  constexpr size_t kNoMatch = std::numeric_limits<size_t>::max();
  PrefixChains chains(in);
  const uint8_t* data = in.data();
  size_t inserted = 0;  // positions below this are in the chains
  size_t pos = kFirstGroup;

  // While 18 bytes remain from pos, every run can be measured a word at a time.
  for (; pos + kMaxMatch <= n;) {
    for (; inserted + kMinMatch <= pos; ++inserted) chains.insert(static_cast<uint32_t>(inserted));
    const uint8_t* cur = data + pos;
    uint32_t prefix;
    std::memcpy(&prefix, cur, sizeof prefix);
    size_t best = kMinMatch;
    size_t from = kNoMatch;
    // The end of a chain, kNone, lies beyond every position, so it ends the scan as a
    // candidate too close to pos does.
    for (size_t i = chains.first_of_word(prefix); i + best <= pos && best < kMaxMatch;
         i = chains.next(static_cast<uint32_t>(i))) {
      const size_t run = common_length_18(data + i, cur);
      // Whether a candidate is taken is hard to predict: select instead of branching.
      const bool take = run >= best;
      from = take ? i : from;
      best = take ? run : best;
    }
    const bool found = from != kNoMatch;
    writer.item(found, *cur, from, best);
    pos += found ? best : 1;
    // The inserts up to the next search hide the fetch of its chain.
    if (pos + sizeof prefix <= n) {
      uint32_t next_prefix;
      std::memcpy(&next_prefix, data + pos, sizeof next_prefix);
      chains.prefetch(next_prefix);
    }
  }

  // The last bytes: runs are cut at the end of the input.
  for (; pos < n;) {
    size_t best = kMinMatch;
    size_t from = kNoMatch;
    if (pos + kMinMatch <= n) {
      for (; inserted + kMinMatch <= pos; ++inserted) chains.insert(static_cast<uint32_t>(inserted));
      const size_t limit = n - pos;
      for (size_t i = chains.first(static_cast<uint32_t>(pos)); i + best <= pos && best < kMaxMatch;
           i = chains.next(static_cast<uint32_t>(i))) {
        const size_t run = common_length(data + i, data + pos, limit);
        if (run >= best) {
          from = i;
          best = run;
        }
      }
    }
    const bool found = from != kNoMatch;
    writer.item(found, data[pos], from, best);
    pos += found ? best : 1;
  }
  return writer.finish();
}

std::string statistics_line(size_t input_size, size_t compressed_size) {
  // The rate is rounded to a 32-bit float twice: after 1 - compressed/size, and after the
  // product with 100. An empty input gives minus infinity.
  float ratio;
  if (input_size == 0) {
    ratio = -std::numeric_limits<float>::infinity();
  } else {
    double c = static_cast<uint32_t>(compressed_size);
    double s = static_cast<uint32_t>(input_size);
    ratio = static_cast<float>(1.0 - c / s);
  }
  float rate = static_cast<float>(static_cast<double>(ratio) * 100.0);
  return format("Size: %i - Compressed: %i - Rate: %f%%\n", static_cast<int>(input_size),
                static_cast<int>(compressed_size), static_cast<double>(rate));
}

}  // namespace qbkit::pre
