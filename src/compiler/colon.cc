// Colon commands: the tokens without a keyword (":i", ":s{", ":a}", ":u(op:value)"), the
// long offsets to numbered jump targets and the markers of those targets, and ":end". Their
// words come from the token table and qb/words.h.
#include "common/error.h"
#include "common/format.h"
#include "compiler/script_compiler.h"
#include "qb/tokens.h"
#include "qb/words.h"

namespace qbkit::compiler {

void ScriptCompiler::compile_colon() {
  using qb::word_of;
  // The bracket pairs: a letter and a brace.
  for (const qb::Op op : {qb::kStructOpen, qb::kStructClose, qb::kArrayOpen, qb::kArrayClose}) {
    if (lex_.accept(word_of(op))) {
      output_.emit(op);
      return;
    }
  }
  const uint8_t c0 = lex_.peek();
  const uint8_t c1 = lex_.at(lex_.cursor() + 1);
  if (c1 == '{') throw Error(kExitFailure, format("Unkown :*{ combo at line %i\n", lex_.line()));
  if (c1 == '}') throw Error(kExitFailure, format("Unkown :*} combo at line %i\n", lex_.line()));

  if (lex_.accept(word_of(qb::kLineBreak))) {
    output_.emit(qb::kLineBreak);
    return;
  }
  if (lex_.accept_glued(word_of(qb::kLineValue))) {
    // Any opcode with a 32-bit operand, both in hex.
    lex_.expect_char('(');
    output_.emit(static_cast<uint8_t>(lex_.parse_number(lex_.cursor(), true)));
    lex_.skip_hex_digits();
    lex_.expect_char(':');
    output_.emit_u32(lex_.parse_number(lex_.cursor(), true));
    lex_.skip_hex_digits();
    lex_.expect_char(')');
    return;
  }

  if (compile_jump_command()) return;
  if (lex_.starts_with(word_of(qb::kEnd))) {
    // Nothing after it in this source text is read.
    lex_.end_source();
    if (switch_depth_ != 0 || if_depth_ != 0) {
      throw Error(kExitFailure, format(":end within a switch(%i) or an if(%i) at line %i\n", switch_depth_,
                                       if_depth_, lex_.line()));
    }
    return;
  }
  throw Error(kExitFailure, format("Unknown Colon command starting with '%c' at line %i\n", c0, lex_.line()));
}

bool ScriptCompiler::compile_jump_command() {
  // Each takes a decimal target index in parentheses.
  auto read_index = [this] {
    lex_.expect_char('(');
    const uint32_t index = lex_.parse_number(lex_.cursor(), false);
    lex_.skip_decimal_digits();
    lex_.expect_char(')');
    return index;
  };
  if (lex_.accept(qb::kOffsetWord)) {
    const int line = lex_.line();
    output_.reserve_long(read_index(), line);
  } else if (lex_.accept(qb::word_of(qb::kBreakTo))) {
    output_.emit(qb::kBreakTo);
    const int line = lex_.line();
    output_.reserve_long(read_index(), line);
  } else if (lex_.accept(qb::kPosWord)) {
    output_.mark(read_index(), lex_.line());
  } else {
    return false;
  }
  lex_.skip_blanks();
  return true;
}

}  // namespace qbkit::compiler
