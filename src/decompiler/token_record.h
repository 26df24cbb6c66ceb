// One decoded token as the printing pass sees it: where its text is and its place in the
// layout. A script holds one record per token, so a record is packed into eight bytes.
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

// The layout of a token: what the printing pass does around its text.
struct Layout {
  int delta = 0;        // added to the running indentation after the record
  int line_adjust = 0;  // added to the running indentation for the tabs of the break before
  bool break_before = false;
  bool break_after = false;
  NameForm name_form = NameForm::kNone;

  bool plain() const {
    return delta == 0 && line_adjust == 0 && !break_before && !break_after &&
           name_form == NameForm::kNone;
  }
};

// A record's text starts at text_begin() in DecodedStream::texts and runs to the next record's
// start: texts are appended in record order, so the end need not be stored. A name token's
// "text" is its checksum's four bytes, looked up when the record is printed.
class TokenRecord {
 public:
  // Deltas run from -2 to +1 and line adjustments from -3 to 0; both are stored biased.
  TokenRecord(uint64_t text_begin, const Layout& layout)
      : bits_(text_begin | uint64_t{layout.break_before} << 48 |
              uint64_t{layout.break_after} << 49 |
              static_cast<uint64_t>(layout.name_form) << 50 |
              static_cast<uint64_t>(layout.delta + kBias) << 52 |
              static_cast<uint64_t>(layout.line_adjust + kBias) << 56) {}

  uint64_t text_begin() const { return bits_ & ((uint64_t{1} << 48) - 1); }
  bool break_before() const { return (bits_ >> 48) & 1; }
  bool break_after() const { return (bits_ >> 49) & 1; }
  NameForm name_form() const { return static_cast<NameForm>((bits_ >> 50) & 3); }
  int delta() const { return static_cast<int>((bits_ >> 52) & 15) - kBias; }
  int line_adjust() const { return static_cast<int>((bits_ >> 56) & 15) - kBias; }

 private:
  static constexpr int kBias = 8;
  uint64_t bits_;
};

// The result of the decoding pass: the records in stream order (position markers included),
// the texts they point into, and the names that the stream's name records brought in.
struct DecodedStream {
  std::vector<TokenRecord> records;
  std::string texts;
  qb::NameTable names;

  std::string_view text_of(size_t index) const {
    const size_t begin = records[index].text_begin();
    const size_t end =
        index + 1 < records.size() ? records[index + 1].text_begin() : texts.size();
    return std::string_view(texts).substr(begin, end - begin);
  }
};

}  // namespace qbkit::decompiler
