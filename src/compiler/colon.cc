// Colon commands: the tokens without a keyword (":i", ":s{", ":a}", ":u(op:value)") and the
// long-offset commands ":OFFSET", ":BREAKTO" and ":POS", and ":end".
#include "common/error.h"
#include "common/format.h"
#include "compiler/script_compiler.h"
#include "qb/tokens.h"

namespace qbkit::compiler {

void ScriptCompiler::compile_colon() {
  const uint8_t c0 = lex_.peek();
  const uint8_t c1 = lex_.at(lex_.cursor() + 1);

  if (c1 == '{' || c1 == '}') {
    const bool open = c1 == '{';
    if (c0 == 's') {
      output_.emit(open ? qb::kStructOpen : qb::kStructClose);
    } else if (c0 == 'a') {
      output_.emit(open ? qb::kArrayOpen : qb::kArrayClose);
    } else {
      throw Error(1, format(open ? "Unkown :*{ combo at line %i\n" : "Unkown :*} combo at line %i\n",
                            lex_.line_number()));
    }
    lex_.advance(2);
    lex_.skip_blanks();
    return;
  }
  if (c0 == 'i') {
    lex_.advance(1);
    output_.emit(qb::kLineBreak);
    lex_.skip_blanks();
    return;
  }
  if (c0 == 'u') {
    // Any opcode with a 32-bit operand, both in hex.
    lex_.advance(1);
    lex_.expect_char('(');
    output_.emit(static_cast<uint8_t>(lex_.parse_number(lex_.cursor(), true)));
    lex_.skip_hex_digits();
    lex_.expect_char(':');
    output_.emit_u32(lex_.parse_number(lex_.cursor(), true));
    lex_.skip_hex_digits();
    lex_.expect_char(')');
    return;
  }

  // The long-offset commands take a decimal target index in parentheses.
  auto read_index = [this] {
    lex_.skip_blanks();
    lex_.expect_char('(');
    const uint32_t index = lex_.parse_number(lex_.cursor(), false);
    lex_.skip_decimal_digits();
    lex_.expect_char(')');
    return index;
  };
  if (lex_.starts_with("OFFSET") || lex_.starts_with("BREAKTO")) {
    const bool breakto = c0 == 'B';
    lex_.advance(breakto ? 7 : 6);
    if (breakto) output_.emit(qb::kBreakTo);
    output_.add_fixup(read_index());
    lex_.skip_blanks();
    return;
  }
  if (lex_.starts_with("POS")) {
    lex_.advance(3);
    output_.add_marker(read_index());
    lex_.skip_blanks();
    return;
  }
  if (lex_.starts_with("end")) {
    // Nothing after it in this source text is read.
    lex_.end_source();
    if (switch_depth_ != 0 || if_depth_ != 0) {
      throw Error(1, format(":end within a switch(%i) or an if(%i) at line %i\n", switch_depth_, if_depth_,
                            lex_.line_number()));
    }
    return;
  }
  throw Error(1, format("Unknown Colon command starting with '%c' at line %i\n", c0, lex_.line_number()));
}

}  // namespace qbkit::compiler
