// The block handlers: both conditional forms and the switch of the standard layout. Each runs
// the statement loop for every part of its block and emits the block's tokens around them;
// short offsets are reserved as two zero bytes and patched when their block closes. A block
// that cannot be closed is an error of mode c; with --check the handler reports it and goes
// on where that makes sense (the other form's middle word is taken for its own), or ends
// the block there, leaving the word to the block it belongs to.
#include "common/format.h"
#include "compiler/script_compiler.h"
#include "qb/tokens.h"

namespace qbkit::compiler {
namespace {

using qb::word_of;

constexpr size_t kNoPending = SIZE_MAX;

}  // namespace

void ScriptCompiler::fits(bool patched, size_t at) {
  if (patched) return;
  error({at, code::kTooLong, "the block is longer than its 16-bit jump can cross (65535 bytes): split it"},
        kExitFailure, format("Block too long for a 16-bit offset at line %i\n", line_of(at)));
}

// Both conditional forms: "if" carries short offsets (each jump leads to the next branch, the
// last one past endif); "doIf" carries none.
void ScriptCompiler::compile_conditional(size_t at, bool offsets) {
  const qb::Op middle = offsets ? qb::kElse : qb::kDoElse;
  const BlockGuard block(*this, offsets ? BlockKind::kIf : BlockKind::kDoIf, at);
  output_.emit(offsets ? qb::kIf : qb::kDoIf);
  size_t pending = offsets ? output_.reserve_short() : 0;
  for (;;) {
    const std::string_view stop = compile_statements();
    const size_t word_at = lex_.cursor();
    const bool ends = stop == word_of(qb::kEndIf);
    if (!ends && stop != word_of(middle) && !if_stop(at, offsets ? "if" : "doIf", stop, word_of(middle))) return;
    close_handled(block.index(), stop, word_at);
    lex_.accept(stop);
    if (ends) {
      if (offsets) fits(output_.patch_past_next(pending), word_at);
      output_.emit(qb::kEndIf);
      return;
    }
    output_.emit(middle);
    if (!offsets) continue;
    const size_t next = output_.reserve_short();
    // The jump of the if (or of the else before) leads to the first token of this branch.
    fits(output_.patch_to_here(pending), word_at);
    pending = next;
  }
}

// The statement loop of an if block (opened at `at`) stopped at `stop`, which is not the
// block's own: the end of the text, the other form's middle word, or a word of an enclosing
// switch. Mode c ends there; --check goes on with the middle word as the block's own (true),
// or ends the block (false).
bool ScriptCompiler::if_stop(size_t at, std::string_view opener, std::string_view stop, std::string_view middle) {
  const std::string legacy = format("Unclosed if block starting at line %i\n", line_of(at));
  const std::string o(opener);
  const std::string s(stop);
  const int stop_line = line_of(lex_.cursor());
  if (stop.empty()) {
    error({at, code::kUnclosedBlock, format("'%s' is never closed: add 'endif'", o.c_str())}, kExitFailure, legacy);
    return false;
  }
  if (stop == word_of(qb::kElse) || stop == word_of(qb::kDoElse)) {
    error({at, code::kWrongCloser,
           format("'%s' goes on with '%s' on line %i, the word of '%s': write '%s'", o.c_str(), s.c_str(), stop_line,
                  opener == "if" ? "doIf" : "if", std::string(middle).c_str())},
          kExitFailure, legacy);
    return true;
  }
  switch_trouble_ = true;
  error({at, code::kUnclosedBlock,
         format("'%s' is not closed before '%s' on line %i: add 'endif' before it", o.c_str(), s.c_str(), stop_line)},
        kExitFailure, legacy);
  return false;
}

void ScriptCompiler::compile_switch(size_t at) {
  const BlockGuard block(*this, BlockKind::kSwitch, at);
  output_.emit(qb::kSwitch);
  // The subject: real scripts may open with a default branch, so this loop stops there too.
  const std::string_view first = compile_statements(true);
  if (!switch_has_cases(block, at, first)) return;
  JumpList breaks;  // the endcase jumps, all past end_switch
  for (;;) {
    const Head head = branch_head(block, at, breaks);
    if (head == Head::kEnded) return;
    output_.emit(qb::kEndCase);
    const size_t pending = output_.reserve_short();  // to the next branch head
    const std::string_view stop = compile_statements();
    const size_t word_at = lex_.cursor();
    if (!stop.empty() && stop != word_of(qb::kElse) && stop != word_of(qb::kDoElse) && stop != word_of(qb::kEndIf))
      close_handled(block.index(), stop, word_at);
    if (stop == word_of(qb::kEndCase)) {
      lex_.accept(stop);
      output_.emit(qb::kEndCase);
      breaks.add(output_.reserve_short());
      fits(output_.patch_to_here(pending), word_at);
    } else if (stop == word_of(qb::kEndSwitch)) {
      end_switch(word_at, pending, breaks);
      return;
    } else {
      if (stop == word_of(qb::kCase) && head == Head::kBranch) {
        switch_trouble_ = true;
        finding({word_at, code::kMissingEndcase, "'endcase' is missing before this 'case'"});
      }
      // A branch that runs straight into the next branch word: its offset leads to the next
      // branch head, as an endcase would have made it. Anything else fails at the head.
      fits(output_.patch_to_here(pending), word_at);
    }
  }
}

// The word after a switch's subject must open its first branch.
bool ScriptCompiler::switch_has_cases(const BlockGuard& block, size_t at, std::string_view first) {
  if (first == word_of(qb::kCase) || first == word_of(qb::kDefault)) return true;
  switch_trouble_ = true;
  const size_t word_at = lex_.cursor();
  const std::string found =
      first.empty() ? std::string("the end of the file") : format("'%s'", std::string(first).c_str());
  error({word_at, code::kMissingCase,
         format("the 'switch' of line %i has no 'case' or 'default' before %s", line_of(at), found.c_str())},
        kExitFailure,
        format("Switch without cases??? fuck you??? Line %i\nOr maybe just a foolish syntax error :P\n",
               line_of(word_at)));
  if (first == word_of(qb::kEndSwitch)) {
    close_handled(block.index(), first, word_at);
    end_switch(word_at, kNoPending, JumpList());
  } else {
    switch_left_open(at);
  }
  return false;
}

// At the head of a branch: "case" or "default". Anything else is an error of mode c; --check
// ends the switch at the end of the text, at "end_switch" and at a word of an enclosing
// block, and takes other text for a branch without its head.
ScriptCompiler::Head ScriptCompiler::branch_head(const BlockGuard& block, size_t at, const JumpList& breaks) {
  if (lex_.accept(word_of(qb::kCase))) {
    output_.emit(qb::kCase);
    return Head::kBranch;
  }
  if (lex_.accept(word_of(qb::kDefault))) {
    output_.emit(qb::kDefault);
    return Head::kBranch;
  }
  switch_trouble_ = true;
  const size_t word_at = lex_.cursor();
  const std::string legacy = unknown_branch_message();
  if (lex_.at_end()) {
    error({word_at, code::kUnclosedBlock,
           format("the file ends inside the 'switch' of line %i: add 'end_switch'", line_of(at))},
          kExitFailure, legacy);
    switch_left_open(at);
    return Head::kEnded;
  }
  if (lex_.starts_with(word_of(qb::kEndSwitch))) {
    error({word_at, code::kStrayCloser,
           "'end_switch' right after 'endcase': the last branch of a switch ends without 'endcase'; delete it"},
          kExitFailure, legacy);
    close_handled(block.index(), word_of(qb::kEndSwitch), word_at);
    end_switch(word_at, kNoPending, breaks);
    return Head::kEnded;
  }
  for (const qb::Op op : {qb::kEndIf, qb::kElse, qb::kDoElse}) {
    if (if_depth_ == 0 || !lex_.starts_with(word_of(op))) continue;
    error({word_at, code::kWrongCloser,
           format("'%s' inside the 'switch' of line %i: add 'end_switch' before it",
                  std::string(word_of(op)).c_str(), line_of(at))},
          kExitFailure, legacy);
    switch_left_open(at);
    return Head::kEnded;
  }
  error({word_at, code::kUnexpectedChar,
         format("expected 'case', 'default' or 'end_switch' after 'endcase', found %s", shown_at(word_at).c_str())},
        kExitFailure, legacy);
  return Head::kLoose;
}

// --check: a switch that ends without its end_switch is reported where it opened.
void ScriptCompiler::switch_left_open(size_t at) {
  error({at, code::kUnclosedBlock, "'switch' is never closed: add 'end_switch'"}, kExitFailure,
        unknown_branch_message());
}

// Mode c's message for the text at the cursor, where a branch of a switch should begin.
std::string ScriptCompiler::unknown_branch_message() const {
  return format("Unknown switch command starting with '%c' in line %i\n", lex_.peek(), line_of(lex_.cursor()));
}

void ScriptCompiler::end_switch(size_t word_at, size_t pending, const JumpList& breaks) {
  lex_.accept(word_of(qb::kEndSwitch));
  output_.emit(qb::kEndSwitch);
  // The last branch leads to the end_switch token itself, every endcase past it.
  if (pending != kNoPending) fits(output_.patch_to_last(pending), word_at);
  fits(output_.patch_list_to_here(breaks), word_at);
}

}  // namespace qbkit::compiler
