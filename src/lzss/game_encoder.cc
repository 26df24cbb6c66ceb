// The classic binary-tree LZSS encoder, as the game runs it.
//
// The ring `text` holds 4096 positions and 17 more that mirror the first 17, so the 18 bytes
// that start at any position can be read without wrapping. Each position in a tree stands
// for those 18 bytes; there is one tree per first byte, ordered by the 17 bytes after it.
// Positions past the end of the input keep whatever the ring held before (the initial fill
// or older input) and take part in comparisons: that is what the game does, and its streams
// depend on it.
//
// The encoder works in steps, one per input byte: step k > 0 removes ring position k - 1
// (mod 4096) from its tree, writes the next input byte there, and inserts position
// 4078 + k, whose descent finds the match that an item starting at input byte k uses. The
// steps are the same whatever items are written, so compress_game_into first runs the steps
// of a block and then writes the items from the matches they found (on its own, without the
// paired inserts below, 1.05x on the benchmark's 210 script-like members).
// compress_game_reference interleaves the two as the game does; the two write the same
// streams.

#include "lzss/game_encoder.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "common/assertion.h"
#include "common/portability.h"
#include "lzss/group_writer.h"

namespace qbkit::lzss {
namespace {

constexpr unsigned kRing = 4096;
constexpr unsigned kLookahead = 18;      // the longest match, and the bytes ahead of r
constexpr unsigned kLongestShort = 2;    // a match this long or shorter is sent as a literal
constexpr unsigned kStart = kRing - kLookahead;  // where the first item starts in the ring
constexpr uint16_t kNil = kRing;         // no node
constexpr unsigned kRoots = kRing + 1;   // the root of first byte c is node kRoots + c
constexpr unsigned kNodes = kRoots + 256;

// Eight bytes as one number whose most significant byte is the first, so that numbers
// compare as the bytes do (unsigned, first byte first).
uint64_t load_ordered(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::little) v = byteswap64(v);
  return v;
}

// The longest match an insert met: where, and how many bytes agree (0 to 18). The position is
// a ring position, a node of the trees, and is written as it is; a match of 2 bytes or fewer
// is written as a literal. (The plain matchers' Match holds an index of the flat input
// instead, with length 0 for none.)
struct Match {
  uint16_t position;
  uint8_t length;
};

// The ring and the trees. About 30 KB, set up once per stream; nothing is allocated per
// position.
class Trees {
 public:
  Trees() {
    // Positions 0 to 4077 start as spaces, the rest (the lookahead and the mirror) as zeros.
    std::memset(text_, ' ', kStart);
    std::memset(text_ + kStart, 0, sizeof text_ - kStart);
    for (unsigned i = kRoots; i < kNodes; ++i) right(i) = kNil;
    for (unsigned i = 0; i < kRing; ++i) parent_[i] = kNil;
  }

  // Writes byte c at ring position s, and into the mirror when s is one of the first 17.
  void put(unsigned s, uint8_t c) {
    text_[s] = c;
    if (s < kLookahead - 1) text_[s + kRing] = c;
  }

  uint8_t at(unsigned s) const { return text_[s]; }
  bool in_tree(unsigned p) const { return parent_[p] != kNil; }
  // Whether none of the `count` ring positions from p on is in a tree.
  bool none_in_tree(unsigned p, unsigned count) const {
    for (unsigned i = 0; i < count; ++i)
      if (in_tree((p + i) & (kRing - 1))) return false;
    return true;
  }

  // Adds position r to the tree of its first byte and returns the longest match met on the
  // way down. A node that agrees in all 18 bytes is replaced by r.
  Match insert(unsigned r) {
    Descent d = start(r);
    while (!step(d)) {
    }
    return d.match();
  }

  // Inserts a and b, which go into different trees, one step of each in turn: the two
  // descents do not touch the same node, and running them side by side keeps the processor
  // busy while each waits for the node it reads next.
  void insert_apart(unsigned a, unsigned b, Match* found_a, Match* found_b) {
    QBKIT_ASSERT(text_[a] != text_[b]);  // precondition: different trees share no node
    Descent d[2] = {start(a), start(b)};
    unsigned running = 3;  // bit i: descent i has not ended
    while (running != 0)
      for (unsigned i = 0; i < 2; ++i)
        if ((running >> i & 1) != 0 && step(d[i])) running &= ~(1u << i);
    *found_a = d[0].match();
    *found_b = d[1].match();
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

 private:
  // An insert on its way down its tree. The key's 17 bytes after the first are loaded once.
  struct Descent {
    uint64_t key_first;   // key bytes 1 to 8, in order
    uint64_t key_second;  // key bytes 9 to 16
    uint8_t key_last;     // key byte 17
    uint16_t r;           // the position being inserted
    unsigned node;        // the node whose child comes next
    unsigned side;        // which child: 0 left, 16 right (a shift into the pair of children)
    // The longest match so far as (length << 16) | position, so that one compare and one
    // select keep it: which node gives it is hard to predict.
    unsigned best;

    Match match() const { return {static_cast<uint16_t>(best), static_cast<uint8_t>(best >> 16)}; }
  };

  Descent start(unsigned r) {
    const uint8_t* key = text_ + r;
    left(r) = right(r) = kNil;
    // The first step goes right from the root.
    return {load_ordered(key + 1), load_ordered(key + 9), key[17], static_cast<uint16_t>(r), kRoots + key[0], 16, 0};
  }

  // Takes one step down; true when the descent has ended with its position in the tree.
  bool step(Descent& d) {
    // Both children are read at once and the side picked by a shift: which side the last
    // compare chose is hard to predict, and this way the read waits for none of it. 1.19x to
    // 1.22x the speed of compress_game_into reading the chosen child alone.
    uint32_t pair;
    std::memcpy(&pair, children_[d.node], sizeof pair);
    const unsigned p = pair >> d.side & 0xFFFF;
    if (p == kNil) {
      children_[d.node][d.side >> 4] = d.r;
      parent_[d.r] = static_cast<uint16_t>(d.node);
      return true;
    }
    d.node = p;
    // How many of the 18 bytes agree from the start (the first does: same tree), and whether
    // the key's first differing byte is the greater.
    const uint8_t* b = text_ + p;
    const uint64_t first = load_ordered(b + 1), second = load_ordered(b + 9);
    const bool first_differs = d.key_first != first;
    const unsigned upto16 = first_differs ? 1 + (static_cast<unsigned>(std::countl_zero(d.key_first ^ first)) >> 3)
                                          : 9 + (static_cast<unsigned>(std::countl_zero(d.key_second ^ second)) >> 3);
    const unsigned agree = upto16 + unsigned{upto16 == 17 && d.key_last == b[17]};
    const bool greater = first_differs ? d.key_first > first : d.key_second != second ? d.key_second > second : d.key_last > b[17];
    const unsigned here = agree << 16 | p;
    d.best = here > (d.best | 0xFFFF) ? here : d.best;  // longer than the best: p is the best
    if (agree >= kLookahead) {
      take_place(p, d.r);
      return true;
    }
    d.side = greater ? 16 : 0;
    return false;
  }

  // r takes p's place: p's parent and both children; p leaves the tree.
  void take_place(unsigned p, uint16_t r) {
    parent_[r] = parent_[p];
    left(r) = left(p);
    right(r) = right(p);
    parent_[left(p)] = r;
    parent_[right(p)] = r;
    replace_child(p, r);
    parent_[p] = kNil;
  }

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
  alignas(4) uint16_t children_[kNodes][2];
  uint16_t parent_[kRing + 1];
};

using GameWriter = GroupWriter<UnusedFlags::kClear>;

// The item at input byte `at` for the match its insert found: a reference when more than two
// bytes agree (cut at the end of the input), else a literal. Returns how many input bytes the
// item covers.
size_t write_item(GameWriter& writer, ByteSpan input, size_t at, Match m) {
  const size_t length = std::min<size_t>({m.length, kLookahead, input.size() - at});
  if (length <= kLongestShort) {
    writer.literal(input[at]);
    return 1;
  }
  writer.reference(m.position, static_cast<unsigned>(length));
  return length;
}

// Puts the first input bytes into the lookahead and the 18 spaces before it into the trees,
// nearest first. Returns how many input bytes went in.
size_t fill_lookahead(Trees& trees, ByteSpan input) {
  const size_t fed = std::min<size_t>(kLookahead, input.size());
  for (size_t i = 0; i < fed; ++i) trees.put(kStart + static_cast<unsigned>(i), input[i]);
  for (unsigned i = 1; i <= kLookahead; ++i) trees.insert(kStart - i);
  return fed;
}

// The game's loop as it stands: one insert at a time, each item written as soon as its match
// is found.
size_t compress_game_reference_into(ByteSpan input, uint8_t* out) {
  if (input.empty()) return 0;
  GameWriter writer(out);
  Trees trees;
  size_t fed = fill_lookahead(trees, input);
  unsigned s = 0;        // the oldest position of the window
  unsigned r = kStart;   // where the next item starts
  Match m = trees.insert(r);
  for (size_t at = 0; at < input.size();) {
    const size_t length = write_item(writer, input, at, m);
    for (size_t i = 0; i < length; ++i, ++at) {
      trees.remove(s);
      if (fed < input.size()) trees.put(s, input[fed++]);
      s = (s + 1) & (kRing - 1);
      r = (r + 1) & (kRing - 1);
      if (at + 1 < input.size()) m = trees.insert(r);
    }
  }
  return writer.size();
}

}  // namespace

Bytes compress_game_reference(ByteSpan input) {
  Bytes out(game_stream_bound(input.size()));
  out.resize(compress_game_reference_into(input, out.data()));
  return out;
}

size_t compress_game_into(ByteSpan input, uint8_t* out) {
  if (input.empty()) return 0;
  const size_t n = input.size();
  GameWriter writer(out);
  Trees trees;
  size_t fed = fill_lookahead(trees, input);

  // Step k's removal and write; its insert is position kStart + k.
  auto remove_and_feed = [&](size_t k) {
    const unsigned s = static_cast<unsigned>(k - 1) & (kRing - 1);
    trees.remove(s);
    if (fed < n) trees.put(s, input[fed++]);
  };
  auto inserted = [](size_t k) { return static_cast<unsigned>(kStart + k) & (kRing - 1); };

  constexpr size_t kBlock = 4096;
  Match found[kBlock];  // found[k - base]: the match of step k's insert (set before it is read)
  size_t at = 0;        // the next item starts at this input byte
  for (size_t base = 0; base < n; base += kBlock) {
    const size_t end = std::min(n, base + kBlock);
    for (size_t k = base; k < end;) {
      if (k > 0) remove_and_feed(k);
      const unsigned a = inserted(k), b = inserted(k + 1);
      // Step k + 1 may run before step k's insert ends when neither changes what the other
      // reads: its insert goes into another tree, and the position it removes (t = k mod
      // 4096, 18 after a, whose byte it overwrites) is in no tree or in another tree than
      // a's. The byte it writes changes no key in a tree: it is the last of b's key, which
      // goes in after it; the keys that start at the 16 positions between b and t hold it
      // too, but the previous steps removed those positions (or no step has inserted them
      // yet). Pairing: 1.16x on the benchmark's 210 script-like members, 1.14x to 1.17x on
      // its 6 MB corpora, against the same loop with one insert per step; 1.23x on the
      // members against compress_game_reference.
      const unsigned t = static_cast<unsigned>(k) & (kRing - 1);
      if (k + 1 < end && trees.at(a) != trees.at(b) && !(trees.in_tree(t) && trees.at(t) == trees.at(a))) {
        remove_and_feed(k + 1);
        // Precondition of the comment above: the keys between b and t are in no tree.
        QBKIT_ASSERT(trees.none_in_tree(b + 1, kLookahead - 2));
        trees.insert_apart(a, b, &found[k - base], &found[k + 1 - base]);
        k += 2;
      } else {
        found[k - base] = trees.insert(a);
        k += 1;
      }
    }
    // The items that start in this block; the last may reach into the next.
    while (at < end) at += write_item(writer, input, at, found[at - base]);
  }
  return writer.size();
}

}  // namespace qbkit::lzss
