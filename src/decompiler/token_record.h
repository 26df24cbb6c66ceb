// One decoded token as the printing pass sees it: its text and its place in the layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "qb/name_table.h"

namespace qbkit::decompiler {

// How a record prints a name: not at all (an ordinary token), as "$name$", or in the call
// form "call $name$ arguments " that a name followed by another name takes.
enum class NameForm : uint8_t { kNone, kPlain, kCall };

struct TokenRecord {
  uint64_t position = 0;     // file position of the opcode byte
  size_t text_begin = 0;     // the record's text within Decoded::texts
  size_t text_size = 0;
  uint32_t checksum = 0;     // a name token's operand, looked up when printed
  int32_t delta = 0;         // added to the running indentation after the record
  int32_t line_adjust = 0;   // added to the running indentation for the tabs of the break before
  uint8_t opcode = 0;        // 0 for a position marker
  bool break_before = false;
  bool break_after = false;
  NameForm name_form = NameForm::kNone;
};

// The result of the decoding pass: the records in stream order, the texts they point into,
// and the names that the stream's name records brought in.
struct DecodedStream {
  std::vector<TokenRecord> records;
  std::string texts;
  qb::NameTable names;

  std::string_view text_of(const TokenRecord& r) const {
    return std::string_view(texts).substr(r.text_begin, r.text_size);
  }
};

}  // namespace qbkit::decompiler
