// The classic binary-tree LZSS encoder, as the game runs it.
//
// The ring `text` holds 4096 positions and 17 more that mirror the first 17, so the 18 bytes
// that start at any position can be read without wrapping. Each position in a tree stands
// for those 18 bytes; there is one tree per first byte, ordered by the 17 bytes after it.
// Positions past the end of the input keep whatever the ring held before (the initial fill
// or older input) and take part in comparisons: that is what the game does, and its streams
// depend on it.

#include "pre/lzss_game.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace qbkit::pre {
namespace {

constexpr unsigned kRing = 4096;
constexpr unsigned kLookahead = 18;      // the longest match, and the bytes ahead of r
constexpr unsigned kLongestShort = 2;    // a match this long or shorter is sent as a literal
constexpr uint16_t kNil = kRing;         // no node
constexpr unsigned kRoots = kRing + 1;   // the root of first byte c is node kRoots + c
constexpr unsigned kNodes = kRoots + 256;

// Eight bytes as one number whose most significant byte is the first, so that numbers
// compare as the bytes do (unsigned, first byte first).
uint64_t load_ordered(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
  return v;
}

// How the 17 bytes after a (the key) and after b compare: `agree` is how many of the 18 bytes
// agree from the start, given that the first does (1 to 18), and `greater` whether the key's
// first differing byte is the greater. Both come from the same word compares, with no
// branch: which word holds the difference is hard to predict, and no byte is read again once
// the difference is found.
struct Order {
  unsigned agree;
  bool greater;
};

Order compare_keys(const uint8_t* a, const uint8_t* b) {
  const uint64_t x1 = load_ordered(a + 1), y1 = load_ordered(b + 1);
  const uint64_t x2 = load_ordered(a + 9), y2 = load_ordered(b + 9);
  // A word that agrees in full counts 8 (countl_zero of 0 is 64).
  const unsigned in_first = static_cast<unsigned>(std::countl_zero(x1 ^ y1)) >> 3;
  const unsigned in_second = static_cast<unsigned>(std::countl_zero(x2 ^ y2)) >> 3;
  const bool first_differs = x1 != y1, second_differs = x2 != y2;
  const unsigned upto16 = first_differs ? 1 + in_first : 9 + in_second;
  const bool last_agrees = a[17] == b[17];
  const unsigned agree = upto16 + unsigned{upto16 == 17 && last_agrees};
  const bool greater = first_differs ? x1 > y1 : second_differs ? x2 > y2 : a[17] > b[17];
  return {agree, greater};
}

// The ring, the trees and the match the last insert found. About 30 KB, set up once per
// stream; nothing is allocated per position.
class Matcher {
 public:
  Matcher() {
    // Positions 0 to 4077 start as spaces, the rest (the lookahead and the mirror) as zeros.
    std::memset(text_, ' ', kRing - kLookahead);
    std::memset(text_ + kRing - kLookahead, 0, sizeof text_ - (kRing - kLookahead));
    for (unsigned i = kRoots; i < kNodes; ++i) right(i) = kNil;
    for (unsigned i = 0; i < kRing; ++i) parent_[i] = kNil;
  }

  // Writes byte c at ring position s, and into the mirror when s is one of the first 17.
  void put(unsigned s, uint8_t c) {
    text_[s] = c;
    if (s < kLookahead - 1) text_[s + kRing] = c;
  }

  uint8_t at(unsigned s) const { return text_[s]; }

  // Adds position r to the tree of its first byte, and records the longest match met on the
  // way down. A node that agrees in all 18 bytes is replaced by r.
  void insert(unsigned r) {
    const uint8_t* key = text_ + r;
    unsigned p = kRoots + key[0];
    unsigned go_right = 1;  // the first step goes right from the root
    left(r) = right(r) = kNil;
    match_length = 0;
    for (;;) {
      // Which way each step goes is hard to predict, so it indexes the pair of children.
      uint16_t& child = children_[p][go_right];
      if (child == kNil) {
        child = static_cast<uint16_t>(r);
        parent_[r] = static_cast<uint16_t>(p);
        return;
      }
      p = child;
      const Order o = compare_keys(key, text_ + p);
      // The longest match so far, updated without a branch: whether p is longer is hard to
      // predict.
      const bool longer = o.agree > match_length;
      match_position = longer ? p : match_position;
      match_length = longer ? o.agree : match_length;
      if (o.agree >= kLookahead) break;
      go_right = o.greater;
    }
    // r takes p's place: p's parent and both children; p leaves the tree.
    parent_[r] = parent_[p];
    left(r) = left(p);
    right(r) = right(p);
    parent_[left(p)] = static_cast<uint16_t>(r);
    parent_[right(p)] = static_cast<uint16_t>(r);
    replace_child(p, static_cast<uint16_t>(r));
    parent_[p] = kNil;
  }

  // Removes position p from its tree; a position in no tree is left alone.
  void remove(unsigned p) {
    if (parent_[p] == kNil) return;
    uint16_t q;
    if (left(p) == kNil || right(p) == kNil) {
      // At most one child, which takes p's place (or nothing does).
      q = right(p) == kNil ? left(p) : right(p);
    } else {
      // Two children: the rightmost node of the left subtree takes p's place.
      q = left(p);
      if (right(q) != kNil) {
        do q = right(q);
        while (right(q) != kNil);
        right(parent_[q]) = left(q);
        parent_[left(q)] = parent_[q];
        left(q) = left(p);
        parent_[left(p)] = q;
      }
      right(q) = right(p);
      parent_[right(p)] = q;
    }
    parent_[q] = parent_[p];
    replace_child(p, q);
    parent_[p] = kNil;
  }

  unsigned match_position = 0;
  unsigned match_length = 0;

 private:
  // Points the link of p's parent that leads to p at q instead.
  void replace_child(unsigned p, uint16_t q) {
    const unsigned up = parent_[p];
    children_[up][right(up) == p] = q;
  }

  uint16_t& left(unsigned node) { return children_[node][0]; }
  uint16_t& right(unsigned node) { return children_[node][1]; }

  // The ring and the mirror of its first 17 bytes: a key is read up to its 18th byte.
  uint8_t text_[kRing + kLookahead - 1];
  // The left and right child of positions and of the roots; the parent of a position. Index
  // kNil is a scratch slot: links to a missing child write there and nothing reads it back.
  uint16_t children_[kNodes][2];
  uint16_t parent_[kRing + 1];
};

// Groups of eight items behind a flag byte whose set bits mark literals; the last group may
// be short, with its unused bits clear.
class GroupWriter {
 public:
  explicit GroupWriter(size_t input_size) { out_.resize(input_size + (input_size + 7) / 8 + 1); }

  void literal(uint8_t byte) {
    open();
    out_[flag_at_] |= static_cast<uint8_t>(1u << item_);
    out_[at_++] = byte;
    close();
  }

  void reference(unsigned position, unsigned length) {
    open();
    out_[at_++] = static_cast<uint8_t>(position);
    out_[at_++] = static_cast<uint8_t>(((position >> 4) & 0xF0) | (length - (kLongestShort + 1)));
    close();
  }

  Bytes finish() {
    out_.resize(at_);
    return std::move(out_);
  }

 private:
  void open() {
    if (item_ != 0) return;
    flag_at_ = at_;
    out_[at_++] = 0;
  }
  void close() { item_ = (item_ + 1) & 7; }

  Bytes out_;
  size_t at_ = 0;
  size_t flag_at_ = 0;
  unsigned item_ = 0;
};

}  // namespace

Bytes compress_game(ByteSpan input) {
  if (input.empty()) return {};
  // The largest stream is every byte a literal, one flag byte per eight.
  GroupWriter writer(input.size());
  Matcher m;
  const uint8_t* next = input.data();
  const uint8_t* const end = next + input.size();

  unsigned s = 0;                     // the oldest position of the window
  unsigned r = kRing - kLookahead;    // where the next item starts
  unsigned len = 0;                   // input bytes in the lookahead
  for (; len < kLookahead && next != end; ++len) m.put(r + len, *next++);
  for (unsigned i = 1; i <= kLookahead; ++i) m.insert(r - i);
  m.insert(r);

  while (len > 0) {
    unsigned length = m.match_length > len ? len : m.match_length;
    if (length <= kLongestShort) {
      length = 1;
      writer.literal(m.at(r));
    } else {
      writer.reference(m.match_position, length);
    }
    for (unsigned i = 0; i < length; ++i) {
      m.remove(s);
      if (next != end)
        m.put(s, *next++);
      else
        --len;
      s = (s + 1) & (kRing - 1);
      r = (r + 1) & (kRing - 1);
      if (len > 0) m.insert(r);
    }
  }
  return writer.finish();
}

}  // namespace qbkit::pre
