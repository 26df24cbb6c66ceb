#include "qb/tokens.h"

#include <array>

namespace qbkit::qb {
namespace {

constexpr TokenInfo kTable[] = {
    {kEnd, ":end", Operand::kNone, false},
    {kLineBreak, ":i ", Operand::kNone, false},
    {kLineValue, ":u(02:", Operand::kLineValue, false},
    {kStructOpen, ":s{", Operand::kNone, false},
    {kStructClose, ":s}", Operand::kNone, false},
    {kArrayOpen, ":a{", Operand::kNone, false},
    {kArrayClose, ":a}", Operand::kNone, false},
    {kEquals, " = ", Operand::kNone, false},
    {kArrow, "->", Operand::kNone, false},
    {kSeparator, ";", Operand::kNone, false},
    {kMinus, " - ", Operand::kNone, false},
    {kPlus, " + ", Operand::kNone, false},
    {kDivide, " / ", Operand::kNone, false},
    {kMultiply, " * ", Operand::kNone, false},
    {kParenOpen, " (", Operand::kNone, false},
    {kParenClose, ") ", Operand::kNone, false},
    {kLess, " < ", Operand::kNone, false},
    {kGreater, " > ", Operand::kNone, false},
    {kName, "$", Operand::kChecksum, false},
    {kInteger, "%i(", Operand::kInteger, false},
    {kFloat, "%f(", Operand::kFloat, false},
    {kString, "%s(", Operand::kString, false},
    {kLocalString, "%sc(", Operand::kString, false},
    {kVector3, "%vec3(", Operand::kVector3, false},
    {kVector2, "%vec2(", Operand::kVector2, false},
    {kWhile, "while", Operand::kNone, false},
    {kLoopTo, "loop_to ", Operand::kNone, false},
    {kContinue, "continue", Operand::kNone, false},
    {kFunction, "function ", Operand::kNone, false},
    {kEndFunction, "endfunction", Operand::kNone, false},
    {kDoIf, "doIf ", Operand::kNone, false},
    {kDoElse, "doElse", Operand::kNone, false},
    {kEndIf, "endif", Operand::kNone, false},
    {kReturn, "return", Operand::kNone, false},
    {kNameRecord, "", Operand::kNameRecord, false},
    {kIsNull, " isNull ", Operand::kNone, false},
    {kGlobal, "%GLOBAL%", Operand::kNone, false},
    {kBreakTo, ":BREAKTO(", Operand::kLongOffset, false},
    {kSelect2F, "select(", Operand::kSelect, false},
    {kRandomRange, "RandomRange ", Operand::kNone, false},
    {kOr, " OR ", Operand::kNone, false},
    {kAnd, " AND ", Operand::kNone, false},
    {kSelect37, "select(", Operand::kSelect, false},
    {kNot, "NOT ", Operand::kNone, false},
    {kSwitch, "switch ", Operand::kNone, false},
    {kEndSwitch, "end_switch", Operand::kNone, false},
    {kCase, "case ", Operand::kCaseBranch, false},
    {kDefault, "default ", Operand::kCaseBranch, false},
    {kSelect40, "select(", Operand::kSelect, false},
    {kSelect41, "select(", Operand::kSelect, false},
    {kDot, ".", Operand::kNone, false},
    {kIf, "if ", Operand::kShortOffset, false},
    {kElse, "else ", Operand::kShortOffset, false},
    {kEndCase, "endcase", Operand::kShortOffset, true},
    {kUnknown84, " Unknown ", Operand::kNone, false},
};

// Byte-indexed view of kTable, built once at compile time.
constexpr std::array<const TokenInfo*, 256> make_index() {
  std::array<const TokenInfo*, 256> index{};
  for (const TokenInfo& t : kTable) index[t.byte] = &t;
  return index;
}
constexpr std::array<const TokenInfo*, 256> kIndex = make_index();

}  // namespace

const TokenInfo* token_info(uint8_t byte) { return kIndex[byte]; }

int fixed_operand_size(Operand operand, bool thug1) {
  switch (operand) {
    case Operand::kNone: return 0;
    case Operand::kChecksum:
    case Operand::kInteger:
    case Operand::kFloat:
    case Operand::kLongOffset:
    case Operand::kLineValue: return 4;
    case Operand::kVector2: return 8;
    case Operand::kVector3: return 12;
    case Operand::kShortOffset: return 2;
    case Operand::kCaseBranch: return thug1 ? 0 : 3;
    case Operand::kString:
    case Operand::kNameRecord:
    case Operand::kSelect: return -1;
  }
  return -1;
}

bool is_select(uint8_t byte) {
  return byte == kSelect2F || byte == kSelect37 || byte == kSelect40 || byte == kSelect41;
}

}  // namespace qbkit::qb
