// The jump-target list: every position that a break or a select branch jumps to, numbered in
// the order in which the jumps were met. The jump, the select branch and the position marker
// at the target all print this number, so that the compiler can pair them up again.
//
// The scan fills it as it meets the jumps, so the printer finds each jump's number in a list
// and each marker in a list sorted by position: before each token it compares the token's
// position with the next marker's, 2 instructions, where a bit test of a flag per position
// took 17 (the benchmark's script with one jump in it: 499 M instructions, against 467 M
// without).
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace qbkit::decompiler {

// A marker that stands ahead of the token at `position`.
struct TargetMarker {
  uint64_t position;
  uint32_t index;
};

class JumpTargets {
 public:
  // `data_size` is the size of the stream: only a position inside it can hold a token.
  explicit JumpTargets(size_t data_size) : data_size_(data_size) {}

  // The index of `position`, the target of a jump whose token starts at `jump`, appending it
  // to the list when it is new. A new position that lies after the jump gets a marker: one at
  // or before it belongs to a token printed before the jump was met, which shows no marker.
  uint32_t index_of_target(uint64_t position, size_t jump);

  // The markers in order of position (each position has at most one).
  std::vector<TargetMarker> sorted_markers() &&;

 private:
  size_t data_size_;
  std::unordered_map<uint64_t, uint32_t> index_;
  std::vector<TargetMarker> markers_;
};

}  // namespace qbkit::decompiler
