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
#include <ostream>
#include <vector>

#include "common/format.h"
#include "pre/lzss.h"

namespace qbkit::pre {
namespace {

constexpr size_t kFirstGroup = 8;

// Collects items into groups of eight and writes each group when it is full.
class GroupWriter {
 public:
  explicit GroupWriter(size_t input_size) {
    // The largest stream: the first group, then every byte a literal, one flag per eight.
    size_t rest = input_size > kFirstGroup ? input_size - kFirstGroup : 0;
    out_.reserve(1 + kFirstGroup + rest + (rest + 7) / 8);
  }

  void first_group(ByteSpan input) {
    out_.push_back(0xFF);
    for (size_t i = 0; i < kFirstGroup; ++i) out_.push_back(i < input.size() ? input[i] : 0);
  }

  void literal(uint8_t byte) {
    item_bytes_[used_++] = byte;
    next_item();
  }

  // A reference to input index `from` of `length` bytes.
  void reference(size_t from, size_t length) {
    size_t p = (from - kPositionBias) & (kWindowSize - 1);
    item_bytes_[used_++] = static_cast<uint8_t>(p & 0xFF);
    item_bytes_[used_++] = static_cast<uint8_t>(((p >> 8) << 4) | (length - kMinMatch));
    flag_ &= static_cast<uint8_t>(~(1u << item_));
    next_item();
  }

  Bytes finish() {
    if (item_ > 0) flush();
    return std::move(out_);
  }

 private:
  void next_item() {
    if (++item_ == 8) flush();
  }
  void flush() {
    out_.push_back(flag_);
    out_.insert(out_.end(), item_bytes_, item_bytes_ + used_);
    flag_ = 0xFF;
    item_ = 0;
    used_ = 0;
  }

  Bytes out_;
  uint8_t flag_ = 0xFF;
  unsigned item_ = 0;
  size_t used_ = 0;
  uint8_t item_bytes_[16];
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

// The recent positions of the input, linked by the hash of their 3-byte prefix into chains
// that run oldest first. Links live in a ring of 4096 slots, one per position of the window,
// beside the bucket each position went into, so that the oldest position can leave its chain
// without its prefix being hashed again.
class PrefixChains {
 public:
  static constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
  static constexpr size_t kRing = kWindowSize;

  explicit PrefixChains(ByteSpan input) : data_(input.data()), size_(input.size()) {
    // Small inputs get small tables: setting them up should not cost more than the input.
    hash_bits_ = 10;
    while (hash_bits_ < 16 && (size_t{1} << hash_bits_) < input.size()) ++hash_bits_;
    head_.assign(size_t{1} << hash_bits_, kNone);
    tail_.assign(size_t{1} << hash_bits_, kNone);
  }

  // Adds position i; positions are added in order, each with its three bytes in the input.
  void insert(uint32_t i) {
    const size_t slot = i % kRing;
    if (i >= kRing) {
      // Position i - 4096 leaves the window before its slot is reused; it is the oldest of
      // its chain.
      uint32_t old = bucket_[slot];
      head_[old] = next_[slot];
      if (head_[old] == kNone) tail_[old] = kNone;
    }
    uint32_t h = hash(i);
    bucket_[slot] = static_cast<uint16_t>(h);
    next_[slot] = kNone;
    if (tail_[h] != kNone)
      next_[tail_[h] % kRing] = i;
    else
      head_[h] = i;
    tail_[h] = i;
  }

  // The oldest position at or after `window_start` whose prefix hashes like that of `pos`.
  uint32_t first(uint32_t pos, size_t window_start) const {
    uint32_t p = head_[hash(pos)];
    while (p != kNone && p < window_start) p = next_[p % kRing];
    return p;
  }

  // The position after i in its chain (i must be in the window).
  uint32_t next(uint32_t i) const { return next_[i % kRing]; }

 private:
  // The three bytes at i as one number, read as one word where a fourth byte exists.
  uint32_t hash(uint32_t i) const {
    const uint8_t* p = data_ + i;
    uint32_t v;
    if (i + 4 <= size_) {
      std::memcpy(&v, p, 4);
      v = std::endian::native == std::endian::little ? v & 0xFFFFFFu : v >> 8;
    } else if (std::endian::native == std::endian::little) {
      v = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
          (static_cast<uint32_t>(p[2]) << 16);
    } else {
      v = (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[2];
    }
    return (v * 2654435761u) >> (32 - hash_bits_);
  }

  const uint8_t* data_;
  size_t size_;
  unsigned hash_bits_;
  std::vector<uint32_t> head_;
  std::vector<uint32_t> tail_;
  uint32_t next_[kRing];
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

  PrefixChains chains(in);
  const uint8_t* data = in.data();
  size_t inserted = 0;  // positions below this are in the chains
  for (size_t pos = kFirstGroup; pos < n;) {
    size_t length = 0;
    size_t from = 0;
    if (pos + kMinMatch <= n) {
      // Candidates lie at most at pos - 3.
      for (; inserted + kMinMatch <= pos; ++inserted) chains.insert(static_cast<uint32_t>(inserted));

      const size_t s = pos > kMaxDistance ? pos - kMaxDistance : 0;
      const uint8_t* cur = data + pos;
      const size_t limit = std::min(kMaxMatch, n - pos);  // longest match the input allows
      // A candidate becomes the best when its common run with pos reaches the best length
      // (so it matches all of it); the run is measured whole, which equals matching the best
      // length and then extending.
      size_t best = kMinMatch;
      uint32_t i = chains.first(static_cast<uint32_t>(pos), s);
      if (limit == kMaxMatch) {
        // 18 bytes exist from pos, and so from every candidate before it.
        for (; i != PrefixChains::kNone && i + best <= pos && best < kMaxMatch; i = chains.next(i)) {
          size_t run = common_length_18(data + i, cur);
          if (run >= best) {
            from = i;
            best = run;
            length = run;
          }
        }
      } else {
        for (; i != PrefixChains::kNone && i + best <= pos && best < kMaxMatch; i = chains.next(i)) {
          size_t run = common_length(data + i, cur, limit);
          if (run >= best) {
            from = i;
            best = run;
            length = run;
          }
        }
      }
    }
    if (length > 0) {
      writer.reference(from, length);
      pos += length;
    } else {
      writer.literal(data[pos]);
      pos += 1;
    }
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

Bytes compress_member(ByteSpan input, std::ostream& out) {
  Bytes stream = compress_fast(input);
  out << statistics_line(input.size(), stream.size());
  return stream;
}

}  // namespace qbkit::pre
