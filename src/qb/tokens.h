// The QB token table: every opcode byte the format knows, its text form in script text, the
// word the compiler reads for it and the kind of operand it carries inline. The decompiler
// and the compiler both read it; no other file names an opcode's byte value or spells a
// token's word.
#pragma once

#include <cstdint>
#include <string_view>

namespace qbkit::qb {

enum Op : uint8_t {
  kEnd = 0x00,
  kLineBreak = 0x01,
  kLineValue = 0x02,
  kStructOpen = 0x03,
  kStructClose = 0x04,
  kArrayOpen = 0x05,
  kArrayClose = 0x06,
  kEquals = 0x07,
  kArrow = 0x08,
  kSeparator = 0x09,
  kMinus = 0x0A,
  kPlus = 0x0B,
  kDivide = 0x0C,
  kMultiply = 0x0D,
  kParenOpen = 0x0E,
  kParenClose = 0x0F,
  kLess = 0x12,
  kGreater = 0x14,
  kName = 0x16,
  kInteger = 0x17,
  kFloat = 0x1A,
  kString = 0x1B,
  kLocalString = 0x1C,
  kVector3 = 0x1E,
  kVector2 = 0x1F,
  kWhile = 0x20,
  kLoopTo = 0x21,
  kContinue = 0x22,
  kFunction = 0x23,
  kEndFunction = 0x24,
  kDoIf = 0x25,
  kDoElse = 0x26,
  kEndIf = 0x28,
  kReturn = 0x29,
  kNameRecord = 0x2B,
  kIsNull = 0x2C,
  kGlobal = 0x2D,
  kBreakTo = 0x2E,
  kSelect2F = 0x2F,
  kRandomRange = 0x30,
  kOr = 0x32,
  kAnd = 0x33,
  kSelect37 = 0x37,
  kNot = 0x39,
  kSwitch = 0x3C,
  kEndSwitch = 0x3D,
  kCase = 0x3E,
  kDefault = 0x3F,
  kSelect40 = 0x40,
  kSelect41 = 0x41,
  kDot = 0x42,
  kIf = 0x47,
  kElse = 0x48,
  kEndCase = 0x49,
  kUnknown84 = 0x84,
};

enum class Operand : uint8_t {
  kNone,
  kChecksum,     // 4 bytes, a name's checksum
  kInteger,      // 4 bytes, signed
  kFloat,        // 4 bytes, IEEE single
  kString,       // u32 length L (counts the NUL), then L bytes
  kVector2,      // 2 floats
  kVector3,      // 3 floats
  kShortOffset,  // u16, counted from its own first byte
  kLongOffset,   // i32, counted from the byte after it
  kLineValue,    // u32 copied through
  kNameRecord,   // checksum, then a NUL-terminated name
  kSelect,       // i32 count N, N byte pairs, N long offsets
  kCaseBranch,   // standard layout: an inline endcase token and its short offset; THUG1: none
};

struct TokenInfo {
  uint8_t byte;
  std::string_view text;  // what the decompiler prints; empty where the form is built from the operand
  std::string_view word;  // what the compiler reads: a keyword, or the word after the ':' or '%'
                          // that starts `text`; empty for punctuation, names and name records
  Operand operand;
  bool standard_only;     // the token does not exist in the THUG1 layout
};

// The entry for `byte`, or nullptr for a byte outside the format.
const TokenInfo* token_info(uint8_t byte);

// Number of operand bytes after the opcode for the kinds of fixed size, in the given layout.
// Variable kinds (string, name record, select) return -1.
int fixed_operand_size(Operand operand, bool thug1);

// The word of a token in the table (empty for tokens without one).
std::string_view word_of(Op op);

}  // namespace qbkit::qb
