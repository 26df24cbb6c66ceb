// The group writer of both encoders (plain_encoder.cc and game_encoder.cc).
//
// A group is a flag byte and up to eight items, governed by its bits from bit 0 up: a set bit
// for a literal (one byte), a clear bit for a back reference (two bytes: the low 8 bits of the
// 12-bit window position; its high 4 bits over the length less 3).
//
// The two encoders differ in one thing only, the flag bits that govern no item in a short
// last group. No decoder reads them, but they are bytes of the stream, and each encoder must
// write its own: the plain encoder's flag bytes start as 0xFF and each reference clears its
// bit (the unused bits stay set); the game's start as 0 and each literal sets its bit (the
// unused bits stay clear), as the game writes them. kUnused says which.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lzss/format.h"

namespace qbkit::lzss {

enum class UnusedFlags : uint8_t { kClear = 0x00, kSet = 0xFF };

template <UnusedFlags kUnused>
class GroupWriter {
 public:
  // Writes from `out` on, whose capacity the caller sizes for the largest stream. A group's
  // flag byte is placed when its first item comes.
  explicit GroupWriter(uint8_t* out) : out_(out) {}

  // Literals and references take separate paths. One path for both, writing two bytes for
  // every item and the flag bit by a mask, was 2-3% slower in the plain encoder's benchmarks.
  void literal(uint8_t byte) {
    open();
    if constexpr (kUnused == UnusedFlags::kClear) out_[flag_at_] |= static_cast<uint8_t>(1u << item_);
    out_[at_++] = byte;
    close();
  }
  // A reference of `length` bytes to window `position`.
  void reference(unsigned position, unsigned length) {
    open();
    if constexpr (kUnused == UnusedFlags::kSet) out_[flag_at_] &= static_cast<uint8_t>(~(1u << item_));
    out_[at_++] = static_cast<uint8_t>(position);
    out_[at_++] = static_cast<uint8_t>(((position >> 4) & 0xF0) | ((length - kMinMatch) & 0x0F));
    close();
  }

  // Bytes written.
  size_t size() const { return at_; }

 private:
  void open() {
    if (item_ != 0) return;
    flag_at_ = at_;
    out_[at_++] = static_cast<uint8_t>(kUnused);
  }
  void close() { item_ = (item_ + 1) & 7; }

  uint8_t* out_;
  size_t at_ = 0;       // bytes written
  size_t flag_at_ = 0;  // where the flag byte of the current group is
  unsigned item_ = 0;   // items in the current group, 0 to 7
};

}  // namespace qbkit::lzss
