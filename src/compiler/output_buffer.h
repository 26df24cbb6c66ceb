// The compiler's output side: the QB stream as it is emitted, the 16-bit short offsets that
// block handlers reserve and patch when a block closes, and the 32-bit long offsets placed by
// the colon commands that jump to a numbered target, which are resolved against the commands
// that mark where each target lies once the whole stream is written.
//
// A short offset counts from its own first byte; a long offset from the byte after its four
// bytes. Each patch operation below says where its jump leads, so no caller computes one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/bytes.h"
#include "qb/operands.h"

namespace qbkit::compiler {

// The short offsets still to be patched to one place, such as the endcase jumps of a switch,
// which all lead past its end_switch.
class JumpList {
 public:
  void add(size_t at) { positions_.push_back(at); }

 private:
  friend class OutputBuffer;
  std::vector<size_t> positions_;
};

// An output position that a long offset can reach: long offsets are signed 32-bit, so every
// position they join lies below 2^31. Refused with a message naming `line` otherwise.
uint32_t long_offset_position(size_t position, int line);

class OutputBuffer {
 public:
  size_t position() const { return bytes_.size(); }
  // Capacity for `bytes` bytes of output, so that the buffer does not regrow while it fills.
  void reserve(size_t bytes);
  void emit(uint8_t byte) { bytes_.push_back(byte); }
  void emit_u32(uint32_t value) { append_u32le(bytes_, value); }
  // A string operand: its length counting the zero byte, the text, the zero byte.
  void emit_string_operand(std::string_view text) { qb::append_string_operand(bytes_, text); }
  // A name record's operand: the checksum, the name, the zero byte.
  void emit_name_record_operand(uint32_t checksum, std::string_view name) {
    qb::append_name_record_operand(bytes_, checksum, name);
  }

  // Two zero bytes for a short offset to be patched later; returns where they stand.
  size_t reserve_short();
  // The short offset at `at` leads to the current position.
  void patch_to_here(size_t at, int line) { patch_short(at, position() - at, line); }
  // The short offset at `at` leads past the one-byte token that is emitted next.
  void patch_past_next(size_t at, int line) { patch_short(at, position() + 1 - at, line); }
  // The short offset at `at` leads to the one-byte token emitted last.
  void patch_to_last(size_t at, int line) { patch_short(at, position() - 1 - at, line); }
  // Every short offset of the list leads to the current position; the last added is patched first.
  void patch_list_to_here(const JumpList& list, int line);

  // A long offset at the current position to the ":POS" marker `index`: four zero bytes until
  // resolve_long_offsets() fills them in.
  void reserve_long(uint32_t index, int line);
  // The current position is the target of every long offset to `index` (the first marker wins).
  void mark(uint32_t index, int line);
  // Fills in every long offset, the last one reserved first; a missing marker is an error.
  void resolve_long_offsets();

  const Bytes& bytes() const { return bytes_; }
  Bytes take() { return std::move(bytes_); }

 private:
  // A reserved long offset, or a marker: an output position and the index written in the text.
  struct Target {
    uint32_t position;
    uint32_t index;
  };

  // Writes `value` over the two reserved bytes at `at`. A value beyond 16 bits would
  // corrupt the jump, so it is refused with a message naming `line`.
  void patch_short(size_t at, size_t value, int line);

  Bytes bytes_;
  std::vector<Target> long_offsets_;
  std::vector<Target> markers_;
};

}  // namespace qbkit::compiler
