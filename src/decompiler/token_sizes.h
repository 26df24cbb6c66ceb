// How long each token of a stream is, in one layout: the one rule by which the scan finds
// where each token starts, and the name records are read again.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/bytes.h"

namespace qbkit::decompiler {

class TokenSizes {
 public:
  explicit TokenSizes(bool thug1);

  // The bytes of the token whose opcode is data[pos] (pos < data.size()), opcode and
  // operands; 0 when it cannot be read whole: an opcode outside the format, or operands
  // that run past the end of the data.
  size_t size_at(ByteSpan data, size_t pos) const {
    const int8_t fixed = operand_bytes_[data[pos]];
    if (fixed < 0) return variable_size_at(data, pos);
    return data.size() - pos - 1 >= static_cast<size_t>(fixed) ? 1 + static_cast<size_t>(fixed) : 0;
  }

  // What the layout asks of a token before it is read: nothing for most opcodes.
  enum Check : uint8_t {
    kNoCheck,
    kRefused,         // refused outright: the endcase token in the THUG1 layout
    kEndCaseOperand,  // case and default in the standard layout: the endcase token must follow
  };
  Check check(uint8_t op) const { return checks_[op]; }

  // The operand bytes of a token that a walk only steps over: one of fixed size, with no
  // check, no jump and no name, that does not end the stream; negative for every other opcode.
  int8_t plain_operand_bytes(uint8_t op) const { return plain_[op]; }

 private:
  // size_at for the tokens without a fixed size: strings, name records, selects, and
  // opcodes outside the format.
  size_t variable_size_at(ByteSpan data, size_t pos) const;

  static constexpr int8_t kUnknown = -1;   // no token has this opcode
  static constexpr int8_t kVariable = -2;  // string, name record, select: read the operand

  std::array<int8_t, 256> operand_bytes_{};
  std::array<Check, 256> checks_{};
  std::array<int8_t, 256> plain_{};
};

}  // namespace qbkit::decompiler
