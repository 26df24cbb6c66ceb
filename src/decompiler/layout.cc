#include "decompiler/layout.h"

namespace qbkit::decompiler {

Layout::Layout(const Settings& settings) {
  for (uint8_t op : {qb::kStructOpen, qb::kArrayOpen, qb::kFunction, qb::kDoIf, qb::kSwitch, qb::kIf}) set(op, 1);
  for (uint8_t op : {qb::kStructClose, qb::kArrayClose, qb::kLoopTo, qb::kEndFunction, qb::kEndIf}) set(op, -1);
  set(qb::kEnd, 0, true);
  set(qb::kWhile, 1, true);
  set(qb::kContinue, 0, true);
  set(qb::kReturn, 0, true);
  set(qb::kEndCase, -1, true);
  set(qb::kBreakTo, 0, true);
  // A select nests one step in the standard layout. The THUG1 switch: only the switch nests,
  // its branches stand at the depth of its body.
  for (uint8_t op : {qb::kSelect2F, qb::kSelect37, qb::kSelect40, qb::kSelect41}) set(op, settings.thug1 ? 0 : 1, true);
  set(qb::kCase, settings.thug1 ? 0 : 1);
  set(qb::kDefault, settings.thug1 ? 0 : 1);
  set(qb::kEndSwitch, settings.thug1 ? -1 : -2, true);
  for (uint8_t op : {qb::kStructClose, qb::kLoopTo, qb::kEndFunction, qb::kDoElse, qb::kEndIf, qb::kElse})
    closes_line_[op] = true;
  if (settings.debug) {
    words_[qb::kIf].debug_step = 1;
    words_[qb::kEndIf].debug_step = -1;
  }
  words_[qb::kLineBreak].kind = kBreakKind;
  words_[qb::kLineValue].kind = kBreakKind;
  words_[qb::kName].kind = kNameKind;
  // The tokens that print their word alone: no operand that the text shows, no debug form.
  for (int b = 0; b < 256; ++b) {
    const qb::TokenInfo* info = qb::token_info(static_cast<uint8_t>(b));
    const bool debug_form = settings.debug && (b == qb::kIf || b == qb::kElse || b == qb::kEndIf || b == qb::kReturn);
    words_[b].word_only = info != nullptr && !info->text.empty() && !debug_form && b != qb::kLineBreak &&
                          (info->operand == qb::Operand::kNone || info->operand == qb::Operand::kShortOffset ||
                           info->operand == qb::Operand::kCaseBranch);
  }
}

void Layout::set(uint8_t op, int delta, bool break_after) {
  words_[op].delta = static_cast<int8_t>(delta);
  words_[op].break_after = break_after;
}

}  // namespace qbkit::decompiler
