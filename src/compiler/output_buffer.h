// The compiler's output side: the QB stream as it is emitted, the 16-bit short offsets that
// block handlers reserve and fill in when a block closes, and the 32-bit long offsets placed
// by ":OFFSET" and ":BREAKTO", which are resolved against ":POS" markers once the whole
// stream is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/bytes.h"

namespace qbkit::compiler {

// A reserved offset field (width 4 or 2) or a position marker (width 0).
struct TargetRecord {
  uint32_t position;
  uint32_t index;  // the number written in the colon command
  uint32_t width;
};

class OutputBuffer {
 public:
  size_t position() const { return bytes_.size(); }
  void emit(uint8_t byte) { bytes_.push_back(byte); }
  void emit_u32(uint32_t value) { append_u32le(bytes_, value); }
  void emit_text(std::string_view text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }

  // Emits two zero bytes for a short offset and returns their position.
  size_t reserve_short();
  // Writes `value` over the two reserved bytes at `at`. A value beyond 16 bits would
  // corrupt the jump, so it is refused with a message naming `line`.
  void fill_short(size_t at, size_t value, int line);

  // A long offset field at the current position, four zero bytes until resolved.
  void add_fixup(uint32_t index);
  // The current position as the target of every fixup with this index (first marker wins).
  void add_marker(uint32_t index);
  // Fills every fixup, the last one first.
  void resolve_fixups();

  const Bytes& bytes() const { return bytes_; }
  Bytes take() { return std::move(bytes_); }
  const std::vector<TargetRecord>& fixups() const { return fixups_; }

 private:
  Bytes bytes_;
  std::vector<TargetRecord> fixups_;
  std::vector<TargetRecord> markers_;
};

}  // namespace qbkit::compiler
