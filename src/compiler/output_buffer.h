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
#include <optional>
#include <vector>

#include "common/bytes.h"
#include "compiler/sources.h"
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

// A long offset reserved in the output: where its four bytes stand, the index of the ":POS"
// marker it leads to, and the place in the text of the command that reserved it.
struct LongOffset {
  uint32_t position;
  uint32_t index;
  Place from;
};

// The bytes go into a vector that is kept sized a little ahead of them (zeroed a chunk at a
// time, just before the bytes are written there), through a cursor: an emit is a room check
// and a store. Against push_back and insert on the vector, the compile of the benchmark's
// 21 MB text ran 0.5% fewer instructions (544.8 M against 547.7 M, measured before the other
// fast paths of the statement loop): a store through a byte pointer makes the compiler load
// the vector's end again at each byte.
class OutputBuffer {
 public:
  size_t position() const { return used_; }
  // Capacity for `bytes` bytes of output, so that the buffer does not regrow while it fills.
  void reserve(size_t bytes);
  void emit(uint8_t byte) {
    if (used_ == limit_) grow(1);
    data_[used_++] = byte;
  }
  void emit_u32(uint32_t value) {
    if (limit_ - used_ < 4) grow(4);
    store_u32le(data_ + used_, value);
    used_ += 4;
  }
  // A string operand: its length counting the zero byte, the text, the zero byte.
  void emit_string_operand(std::string_view text) {
    const size_t size = qb::string_operand_size(text);
    if (limit_ - used_ < size) grow(size);
    qb::write_string_operand(data_ + used_, text);
    used_ += size;
  }
  // A name record's operand: the checksum, the name, the zero byte.
  void emit_name_record_operand(uint32_t checksum, std::string_view name) {
    const size_t size = qb::name_record_operand_size(name);
    if (limit_ - used_ < size) grow(size);
    qb::write_name_record_operand(data_ + used_, checksum, name);
    used_ += size;
  }

  // Two zero bytes for a short offset to be patched later; returns where they stand.
  size_t reserve_short();
  // Each patch below returns false, and leaves the offset as it was, when its value does not
  // fit the 16 bits: the jump would be corrupt.
  // The short offset at `at` leads to the current position.
  [[nodiscard]] bool patch_to_here(size_t at) { return patch_short(at, position() - at); }
  // The short offset at `at` leads past the one-byte token that is emitted next.
  [[nodiscard]] bool patch_past_next(size_t at) { return patch_short(at, position() + 1 - at); }
  // The short offset at `at` leads to the one-byte token emitted last.
  [[nodiscard]] bool patch_to_last(size_t at) { return patch_short(at, position() - 1 - at); }
  // Every short offset of the list leads to the current position; the last added is patched first.
  [[nodiscard]] bool patch_list_to_here(const JumpList& list);

  // Long offsets are signed 32-bit, so every position they join lies below 2^31: the two
  // calls below return false, and record nothing, at a position beyond.
  // A long offset at the current position to the ":POS" marker `index`, reserved by the
  // command at `from`: four zero bytes until resolve_long_offsets() fills them in.
  [[nodiscard]] bool reserve_long(uint32_t index, Place from);
  // The current position is the target of every long offset to `index` (the first marker wins).
  [[nodiscard]] bool mark(uint32_t index);
  // Fills in the long offsets, the last one reserved first, up to one whose marker is
  // missing: that one is returned and dropped, and a next call goes on with the rest.
  std::optional<LongOffset> resolve_long_offsets();

  // The bytes emitted so far.
  const Bytes& bytes() {
    settle();
    return bytes_;
  }
  Bytes take() {
    settle();
    data_ = nullptr;
    used_ = limit_ = 0;
    return std::move(bytes_);
  }

 private:
  // A marker: an output position and the index written in the text.
  struct Marker {
    uint32_t position;
    uint32_t index;
  };

  // Writes `value` over the two reserved bytes at `at`, when it fits them.
  bool patch_short(size_t at, size_t value);
  // Sizes the vector for at least `bytes` more bytes after the used ones.
  void grow(size_t bytes);
  // Sizes the vector to the bytes used.
  void settle() {
    bytes_.resize(used_);
    limit_ = used_;
  }

  Bytes bytes_;  // sized to `limit_`: the bytes used, then zeros
  uint8_t* data_ = nullptr;
  size_t used_ = 0;
  size_t limit_ = 0;
  std::vector<LongOffset> long_offsets_;
  std::vector<Marker> markers_;
};

}  // namespace qbkit::compiler
