// The plain encoder: the brute-force reference and the chain matcher.
//
// Both write the same groups (group_writer.h): every flag byte starts as 0xFF and a back
// reference clears its bit; the first group always holds eight literals (input bytes, then
// zero bytes when the input is shorter), so no search happens before position 8.

#include "lzss/plain_encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

#include "common/assertion.h"
#include "lzss/format.h"
#include "lzss/group_writer.h"

namespace qbkit::lzss {
namespace {

constexpr size_t kFirstGroup = 8;

using PlainWriter = GroupWriter<UnusedFlags::kSet>;

// The capacity for the largest stream: the first group, then every byte a literal, one flag
// byte per eight.
size_t plain_stream_capacity(size_t input_size) {
  const size_t rest = input_size > kFirstGroup ? input_size - kFirstGroup : 0;
  return 1 + kFirstGroup + rest + (rest + 7) / 8;
}

// The first group: the first eight input bytes as literals, zero bytes past a shorter input.
void first_group(PlainWriter& writer, ByteSpan input) {
  for (size_t i = 0; i < kFirstGroup; ++i) writer.literal(i < input.size() ? input[i] : 0);
}

// The window position that a reference to input index `from` is written with.
inline unsigned window_position(size_t from) {
  return static_cast<unsigned>((from - kPositionBias) & (kWindowSize - 1));
}

// A match as the plain matchers find it: a run from an earlier index of the flat input, which
// becomes a window position only when it is written. (The game matcher's Match holds a ring
// position instead, the node its trees found.)
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

constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

// A position's first four bytes as one word, as they lie in memory.
inline uint32_t load_prefix(const uint8_t* p) {
  uint32_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// The first three bytes of a word loaded from the input.
inline uint32_t first_three(uint32_t word) {
  return std::endian::native == std::endian::little ? word & 0xFFFFFFu : word >> 8;
}

// The positions of the window in chains that run newest first, one chain per hash of the
// first kPrefix bytes (3 or 4). Each position links to the one added before it under the
// same hash, so adding a position unlinks nothing: links into positions that have left the
// window stay behind, and a walk stops at the first position outside the window. Links live
// in a ring of 4096 slots, one per position; a position's slot is reused only when the
// position 4096 after it is added, by then outside every window that holds it.
template <size_t kPrefix>
class NewestFirstChains {
 public:
  explicit NewestFirstChains(size_t input_size) {
    // Small inputs get small tables: setting them up should not cost more than the input.
    unsigned bits = 10;
    while (bits < 16 && (size_t{1} << bits) < input_size) ++bits;
    shift_ = 32 - bits;
    newest_.assign(size_t{1} << bits, kNone);
  }

  // Adds position i, whose first four bytes are `word`.
  void insert(uint32_t i, uint32_t word) {
    uint32_t& newest = newest_[hash(word)];
    older_[i % kWindowSize] = newest;
    newest = i;
  }

  // The newest position added whose prefix hashes like `word`'s, or kNone.
  uint32_t newest(uint32_t word) const { return newest_[hash(word)]; }
  // The position added before i under its hash; only asked while i is in the window.
  uint32_t older(uint32_t i) const { return older_[i % kWindowSize]; }

 private:
  uint32_t hash(uint32_t word) const {
    const uint32_t key = kPrefix == 4 ? word : first_three(word);
    return (key * 2654435761u) >> shift_;
  }

  unsigned shift_;
  std::vector<uint32_t> newest_;
  uint32_t older_[kWindowSize];
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

// The common run of the 18 bytes at a and at b (both readable), compared a word at a time:
// 1.20x to 1.33x the speed of compress_plain with a byte-at-a-time compare here.
inline size_t common_length_18(const uint8_t* a, const uint8_t* b) {
  uint64_t x = load_word(a) ^ load_word(b);
  if (x != 0) return first_difference(x);
  x = load_word(a + 8) ^ load_word(b + 8);
  if (x != 0) return 8 + first_difference(x);
  return 16 + common_length(a + 16, b + 16, 2);
}

// The search of compress_plain, which finds what search_reference finds.
//
// search_reference walks the candidates (positions 3 to 4095 back that share the first three
// bytes) oldest first; it stops at the first that lies closer than the best length, or once
// the best length is 18. Split the candidates into far ones, at least 18 back, and near ones,
// 3 to 17 back. The far ones come first and are all examined until a run of 18 is found, so
// over them the walk ends on the oldest candidate with a run of 18 if there is one, otherwise
// on the newest of those with the longest run. A walk newest first finds the same candidate
// by taking one whose run is longer than the best so far, or is 18. The near ones, at most
// 15, come last; they are kept aside and then examined oldest first by the reference's rules.
//
// A run of 4 or more needs the same four bytes, so the far walk follows the chain of the
// 4-byte prefix and skips the many candidates that share three bytes only. When no far
// candidate shares four bytes, the reference ends on the newest far one that shares three:
// the first true match down the 3-byte chain. This walk, newest first down the 4-byte chain,
// took compress_plain from 0.87x to 1.08x the speed of zlib level 1 on the benchmark's
// older generated data (corpus 1), against an oldest-first walk down the 3-byte chain.
class WindowMatcher {
 public:
  explicit WindowMatcher(ByteSpan input)
      : data_(input.data()), size_(input.size()), three_(input.size()), four_(input.size()) {}

  // Adds the positions up to pos - 3, the candidates of a search at pos; each has four bytes
  // in the input, as pos has at least one.
  void add_up_to(size_t pos) {
    for (; added_ + kMinMatch <= pos; ++added_) {
      const uint32_t word = load_prefix(data_ + added_);
      three_.insert(static_cast<uint32_t>(added_), word);
      four_.insert(static_cast<uint32_t>(added_), word);
    }
  }

  // The match at pos, which has at least 18 bytes to the end of the input: every run is
  // measured a word at a time. length 0: no match.
  Match search(size_t pos) const {
    const uint8_t* cur = data_ + pos;
    const uint32_t word = load_prefix(cur);
    Near near;
    const uint32_t far_three = collect_near(three_.newest(word), pos, &near);
    size_t best = kMinMatch;
    size_t from = kNoMatch;
    uint32_t i = four_.newest(word);
    while (in_window(i, pos) && pos - i < kMaxMatch) i = four_.older(i);
    for (; in_window(i, pos); i = four_.older(i)) {
      const size_t run = common_length_18(data_ + i, cur);
      // Whether a candidate is taken is hard to predict, so it is chosen by a mask (written
      // as a condition, the compiler makes it a branch): +1-2%.
      const size_t take = 0 - size_t{run + size_t{run == kMaxMatch} > best};
      from = (i & take) | (from & ~take);
      best = (run & take) | (best & ~take);
    }
    if (from == kNoMatch) {
      for (i = far_three; in_window(i, pos); i = three_.older(i)) {
        if (first_three(load_prefix(data_ + i)) == first_three(word)) {
          from = i;
          break;
        }
      }
    }
    return examine_near(near, pos, kMaxMatch, Match{from, best});
  }

  // The match at pos, closer than 18 bytes to the end of the input but with at least 3:
  // runs are cut at the end, so none reaches 18, and the far walk takes the newest longest.
  Match search_near_end(size_t pos) const {
    const size_t limit = size_ - pos;
    uint8_t bytes[4] = {0, 0, 0, 0};
    std::memcpy(bytes, data_ + pos, std::min<size_t>(limit, sizeof bytes));
    Near near;
    uint32_t i = collect_near(three_.newest(load_prefix(bytes)), pos, &near);
    size_t best = kMinMatch - 1;
    size_t from = kNoMatch;
    for (; in_window(i, pos); i = three_.older(i)) {
      const size_t run = common_length(data_ + i, data_ + pos, limit);
      if (run > best) {
        from = i;
        best = run;
      }
    }
    return examine_near(near, pos, limit, Match{from, std::max(best, kMinMatch)});
  }

 private:
  static constexpr size_t kNoMatch = std::numeric_limits<size_t>::max();

  // The candidates 3 to 17 back, newest first.
  struct Near {
    uint32_t at[kMaxMatch - kMinMatch];
    size_t count = 0;
  };

  // Whether chain entry i is a candidate of a search at pos: from 4095 to 3 back. kNone is not.
  // One unsigned compare: an entry after pos - 3, kNone among them, wraps around to a value
  // far above the window, as size_t is wider than the 32-bit entries.
  static bool in_window(uint32_t i, size_t pos) {
    static_assert(sizeof(size_t) > sizeof(uint32_t), "the wrap-around needs a wider size_t");
    QBKIT_ASSERT(pos >= kMinMatch && pos < kNone);  // precondition of the wrap-around
    return pos - kMinMatch - i <= kMaxDistance - kMinMatch;
  }

  // Walks the 3-byte chain from i past the candidates less than 18 back, keeping them in
  // `near`; returns where the walk stopped.
  uint32_t collect_near(uint32_t i, size_t pos, Near* near) const {
    for (; in_window(i, pos) && pos - i < kMaxMatch; i = three_.older(i)) near->at[near->count++] = i;
    return i;
  }

  // The reference's walk over the near candidates, oldest first, after the far ones left
  // `best` (from kNoMatch: none taken, and best is 3). Runs are cut at `limit` bytes.
  Match examine_near(const Near& near, size_t pos, size_t limit, Match best) const {
    for (size_t k = near.count; k-- > 0 && best.length < kMaxMatch;) {
      const size_t i = near.at[k];
      if (i + best.length > pos) break;
      const size_t run = common_length(data_ + i, data_ + pos, std::min(limit, kMaxMatch));
      if (run >= best.length) best = Match{i, run};
    }
    return best.from == kNoMatch ? Match{} : best;
  }

  const uint8_t* data_;
  size_t size_;
  size_t added_ = 0;  // positions below this are in the chains
  NewestFirstChains<3> three_;
  NewestFirstChains<4> four_;
};

}  // namespace

namespace {

// Writes the item that starts at `pos`: the match when one was found, else the literal.
// Returns the position after it.
inline size_t put_item(PlainWriter& writer, ByteSpan in, size_t pos, const Match& m) {
  if (m.length == 0) {
    writer.literal(in[pos]);
    return pos + 1;
  }
  writer.reference(window_position(m.from), static_cast<unsigned>(m.length));
  return pos + m.length;
}

}  // namespace

Bytes compress_plain_reference(ByteSpan in) {
  Bytes out(plain_stream_capacity(in.size()));
  PlainWriter writer(out.data());
  first_group(writer, in);
  for (size_t pos = kFirstGroup; pos < in.size();) pos = put_item(writer, in, pos, search_reference(in, pos));
  out.resize(writer.size());
  return out;
}

Bytes compress_plain(ByteSpan in) {
  const size_t n = in.size();
  // The chains hold positions as 32-bit numbers; past that (no archive member can be so
  // large) only the brute-force matcher is exact.
  if (n >= kNone) return compress_plain_reference(in);
  Bytes out(plain_stream_capacity(n));
  // A local writer: the compiler keeps its counters in registers, as no store into the
  // stream can reach them.
  PlainWriter writer(out.data());
  first_group(writer, in);
  if (n > kFirstGroup) {
    WindowMatcher matcher(in);
    for (size_t pos = kFirstGroup; pos < n;) {
      Match m;
      if (pos + kMaxMatch <= n) {
        matcher.add_up_to(pos);
        m = matcher.search(pos);
      } else if (pos + kMinMatch <= n) {
        matcher.add_up_to(pos);
        m = matcher.search_near_end(pos);
      }
      pos = put_item(writer, in, pos, m);
    }
  }
  out.resize(writer.size());
  return out;
}

}  // namespace qbkit::lzss
