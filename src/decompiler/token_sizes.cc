#include "decompiler/token_sizes.h"

#include "qb/operands.h"
#include "qb/tokens.h"

namespace qbkit::decompiler {

TokenSizes::TokenSizes(bool thug1) {
  for (int b = 0; b < 256; ++b) {
    const qb::TokenInfo* info = qb::token_info(static_cast<uint8_t>(b));
    if (info == nullptr) {
      operand_bytes_[b] = kUnknown;
      plain_[b] = -1;
      continue;
    }
    const int fixed = qb::fixed_operand_size(info->operand, thug1);
    operand_bytes_[b] = fixed < 0 ? kVariable : static_cast<int8_t>(fixed);
    if (thug1 && info->standard_only) checks_[b] = kRefused;
    if (!thug1 && info->operand == qb::Operand::kCaseBranch) checks_[b] = kEndCaseOperand;
    const bool special = checks_[b] != kNoCheck || info->operand == qb::Operand::kLongOffset ||
                         info->operand == qb::Operand::kNameRecord || b == qb::kEnd;
    plain_[b] = special ? -1 : operand_bytes_[b];
  }
}

size_t TokenSizes::variable_size_at(ByteSpan data, size_t pos) const {
  const uint8_t op = data[pos];
  const size_t rest = data.size() - pos - 1;  // bytes after the opcode
  if (operand_bytes_[op] == kUnknown) return 0;
  switch (op) {
    case qb::kString:
    case qb::kLocalString: {
      const auto s = qb::read_string_operand(data, pos + 1);
      return s ? 1 + s->size : 0;
    }
    case qb::kNameRecord: {
      const auto r = qb::read_name_record_operand(data, pos + 1);
      return r ? 1 + r->size : 0;
    }
    default: {  // a select: count N, then N byte pairs and N long offsets when N > 0
      if (rest < 4) return 0;
      const auto count = static_cast<int32_t>(load_u32le(&data[pos + 1]));
      if (count <= 0) return 5;
      if ((rest - 4) / 6 < static_cast<size_t>(count)) return 0;
      return 5 + 6 * static_cast<size_t>(count);
    }
  }
}

}  // namespace qbkit::decompiler
