#include "qb/tokens.h"

#include <array>

namespace qbkit::qb {
namespace {

constexpr TokenInfo kTable[] = {
    {kEnd, ":end", "end", Sigil::kColon, Operand::kNone, false},
    {kLineBreak, ":i ", "i", Sigil::kColon, Operand::kNone, false},
    {kLineValue, ":u(02:", "u", Sigil::kColon, Operand::kLineValue, false},
    {kStructOpen, ":s{", "s{", Sigil::kColon, Operand::kNone, false},
    {kStructClose, ":s}", "s}", Sigil::kColon, Operand::kNone, false},
    {kArrayOpen, ":a{", "a{", Sigil::kColon, Operand::kNone, false},
    {kArrayClose, ":a}", "a}", Sigil::kColon, Operand::kNone, false},
    {kEquals, " = ", "", Sigil::kNone, Operand::kNone, false},
    {kArrow, "->", "", Sigil::kNone, Operand::kNone, false},
    {kSeparator, ";", "", Sigil::kNone, Operand::kNone, false},
    {kMinus, " - ", "", Sigil::kNone, Operand::kNone, false},
    {kPlus, " + ", "", Sigil::kNone, Operand::kNone, false},
    {kDivide, " / ", "", Sigil::kNone, Operand::kNone, false},
    {kMultiply, " * ", "", Sigil::kNone, Operand::kNone, false},
    {kParenOpen, " (", "", Sigil::kNone, Operand::kNone, false},
    {kParenClose, ") ", "", Sigil::kNone, Operand::kNone, false},
    {kLess, " < ", "", Sigil::kNone, Operand::kNone, false},
    {kGreater, " > ", "", Sigil::kNone, Operand::kNone, false},
    {kName, "$", "", Sigil::kNone, Operand::kChecksum, false},
    {kInteger, "%i(", "i", Sigil::kPercent, Operand::kInteger, false},
    {kFloat, "%f(", "f", Sigil::kPercent, Operand::kFloat, false},
    {kString, "%s(", "s", Sigil::kPercent, Operand::kString, false},
    {kLocalString, "%sc(", "sc", Sigil::kPercent, Operand::kString, false},
    {kVector3, "%vec3(", "vec3", Sigil::kPercent, Operand::kVector3, false},
    {kVector2, "%vec2(", "vec2", Sigil::kPercent, Operand::kVector2, false},
    {kWhile, "while", "while", Sigil::kWord, Operand::kNone, false},
    {kLoopTo, "loop_to ", "loop_to", Sigil::kWord, Operand::kNone, false},
    {kContinue, "continue", "continue", Sigil::kWord, Operand::kNone, false},
    {kFunction, "function ", "function", Sigil::kWord, Operand::kNone, false},
    {kEndFunction, "endfunction", "endfunction", Sigil::kWord, Operand::kNone, false},
    {kDoIf, "doIf ", "doIf", Sigil::kWord, Operand::kNone, false},
    {kDoElse, "doElse", "doElse", Sigil::kWord, Operand::kNone, false},
    {kEndIf, "endif", "endif", Sigil::kWord, Operand::kNone, false},
    {kReturn, "return", "return", Sigil::kWord, Operand::kNone, false},
    {kNameRecord, "", "", Sigil::kNone, Operand::kNameRecord, false},
    {kIsNull, " isNull ", "isNull", Sigil::kWord, Operand::kNone, false},
    {kGlobal, "%GLOBAL%", "GLOBAL", Sigil::kPercent, Operand::kNone, false},
    {kBreakTo, ":BREAKTO(", "BREAKTO", Sigil::kColon, Operand::kLongOffset, false},
    {kSelect2F, "select(", "select", Sigil::kWord, Operand::kSelect, false},
    {kRandomRange, "RandomRange ", "RandomRange", Sigil::kWord, Operand::kNone, false},
    {kOr, " OR ", "OR", Sigil::kWord, Operand::kNone, false},
    {kAnd, " AND ", "AND", Sigil::kWord, Operand::kNone, false},
    {kSelect37, "select(", "select", Sigil::kWord, Operand::kSelect, false},
    {kNot, "NOT ", "NOT", Sigil::kWord, Operand::kNone, false},
    {kSwitch, "switch ", "switch", Sigil::kWord, Operand::kNone, false},
    {kEndSwitch, "end_switch", "end_switch", Sigil::kWord, Operand::kNone, false},
    {kCase, "case ", "case", Sigil::kWord, Operand::kCaseBranch, false},
    {kDefault, "default ", "default", Sigil::kWord, Operand::kCaseBranch, false},
    {kSelect40, "select(", "select", Sigil::kWord, Operand::kSelect, false},
    {kSelect41, "select(", "select", Sigil::kWord, Operand::kSelect, false},
    {kDot, ".", "", Sigil::kNone, Operand::kNone, false},
    {kIf, "if ", "if", Sigil::kWord, Operand::kShortOffset, false},
    {kElse, "else ", "else", Sigil::kWord, Operand::kShortOffset, false},
    {kEndCase, "endcase", "endcase", Sigil::kWord, Operand::kShortOffset, true},
    {kUnknown84, " Unknown ", "", Sigil::kNone, Operand::kNone, false},
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
