#include "qb/tokens.h"

#include <array>

namespace qbkit::qb {
namespace {

constexpr TokenInfo kTable[] = {
    {kEnd, ":end", "end", Operand::kNone, false},
    {kLineBreak, ":i ", "i", Operand::kNone, false},
    {kLineValue, ":u(02:", "u", Operand::kLineValue, false},
    {kStructOpen, ":s{", "s{", Operand::kNone, false},
    {kStructClose, ":s}", "s}", Operand::kNone, false},
    {kArrayOpen, ":a{", "a{", Operand::kNone, false},
    {kArrayClose, ":a}", "a}", Operand::kNone, false},
    {kEquals, " = ", "", Operand::kNone, false},
    {kArrow, "->", "", Operand::kNone, false},
    {kSeparator, ";", "", Operand::kNone, false},
    {kMinus, " - ", "", Operand::kNone, false},
    {kPlus, " + ", "", Operand::kNone, false},
    {kDivide, " / ", "", Operand::kNone, false},
    {kMultiply, " * ", "", Operand::kNone, false},
    {kParenOpen, " (", "", Operand::kNone, false},
    {kParenClose, ") ", "", Operand::kNone, false},
    {kLess, " < ", "", Operand::kNone, false},
    {kGreater, " > ", "", Operand::kNone, false},
    {kName, "$", "", Operand::kChecksum, false},
    {kInteger, "%i(", "i", Operand::kInteger, false},
    {kFloat, "%f(", "f", Operand::kFloat, false},
    {kString, "%s(", "s", Operand::kString, false},
    {kLocalString, "%sc(", "sc", Operand::kString, false},
    {kVector3, "%vec3(", "vec3", Operand::kVector3, false},
    {kVector2, "%vec2(", "vec2", Operand::kVector2, false},
    {kWhile, "while", "while", Operand::kNone, false},
    {kLoopTo, "loop_to ", "loop_to", Operand::kNone, false},
    {kContinue, "continue", "continue", Operand::kNone, false},
    {kFunction, "function ", "function", Operand::kNone, false},
    {kEndFunction, "endfunction", "endfunction", Operand::kNone, false},
    {kDoIf, "doIf ", "doIf", Operand::kNone, false},
    {kDoElse, "doElse", "doElse", Operand::kNone, false},
    {kEndIf, "endif", "endif", Operand::kNone, false},
    {kReturn, "return", "return", Operand::kNone, false},
    {kNameRecord, "", "", Operand::kNameRecord, false},
    {kIsNull, " isNull ", "isNull", Operand::kNone, false},
    {kGlobal, "%GLOBAL%", "GLOBAL", Operand::kNone, false},
    {kBreakTo, ":BREAKTO(", "BREAKTO", Operand::kLongOffset, false},
    {kSelect2F, "select(", "select", Operand::kSelect, false},
    {kRandomRange, "RandomRange ", "RandomRange", Operand::kNone, false},
    {kOr, " OR ", "OR", Operand::kNone, false},
    {kAnd, " AND ", "AND", Operand::kNone, false},
    {kSelect37, "select(", "select", Operand::kSelect, false},
    {kNot, "NOT ", "NOT", Operand::kNone, false},
    {kSwitch, "switch ", "switch", Operand::kNone, false},
    {kEndSwitch, "end_switch", "end_switch", Operand::kNone, false},
    {kCase, "case ", "case", Operand::kCaseBranch, false},
    {kDefault, "default ", "default", Operand::kCaseBranch, false},
    {kSelect40, "select(", "select", Operand::kSelect, false},
    {kSelect41, "select(", "select", Operand::kSelect, false},
    {kDot, ".", "", Operand::kNone, false},
    {kIf, "if ", "if", Operand::kShortOffset, false},
    {kElse, "else ", "else", Operand::kShortOffset, false},
    {kEndCase, "endcase", "endcase", Operand::kShortOffset, true},
    {kUnknown84, " Unknown ", "", Operand::kNone, false},
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

std::string_view word_of(Op op) { return kIndex[op]->word; }

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

}  // namespace qbkit::qb
