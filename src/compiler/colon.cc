// Colon commands: the tokens without a keyword (":i", ":s{", ":a}", ":u(op:value)"), the
// long offsets to numbered jump targets and the markers of those targets, and ":end". Their
// words come from the token table and qb/words.h.
#include "common/format.h"
#include "compiler/script_compiler.h"
#include "qb/tokens.h"
#include "qb/words.h"

namespace qbkit::compiler {

// `at` is the colon; the cursor stands just past it.
void ScriptCompiler::compile_colon(size_t at) {
  using qb::word_of;
  // The bracket pairs: a letter and a brace.
  static constexpr struct {
    qb::Op op;
    BlockKind block;
    bool opens;
    std::string_view said;  // with its colon
  } kBrackets[] = {{qb::kStructOpen, BlockKind::kStruct, true, ":s{"},
                   {qb::kStructClose, BlockKind::kStruct, false, ":s}"},
                   {qb::kArrayOpen, BlockKind::kArray, true, ":a{"},
                   {qb::kArrayClose, BlockKind::kArray, false, ":a}"}};
  for (const auto& b : kBrackets) {
    if (!lex_.accept(word_of(b.op))) continue;
    output_.emit(b.op);
    if (b.opens) {
      open_plain(b.block, at);
    } else {
      close_plain(b.block, b.said, at, false);
    }
    return;
  }
  const uint8_t c0 = lex_.peek();
  const uint8_t c1 = lex_.at(lex_.cursor() + 1);
  if (c1 == '{' || c1 == '}') {
    const std::string said = c1 == '{' ? "Unkown :*{ combo at line %i\n" : "Unkown :*} combo at line %i\n";
    fail({lex_.cursor(), code::kUnknownCommand,
          format("unknown bracket ':%c%c': a structure is written ':s{ ... :s}', an array ':a{ ... :a}'", c0, c1)},
         kExitFailure, format(said.c_str(), line_of(at)));
  }

  if (lex_.accept(word_of(qb::kLineBreak))) {
    output_.emit(qb::kLineBreak);
    return;
  }
  if (lex_.accept_glued(word_of(qb::kLineValue))) {
    // Any opcode with a 32-bit operand, both in hex.
    expect_char('(');
    output_.emit(static_cast<uint8_t>(lex_.parse_number(lex_.cursor(), true)));
    lex_.skip_hex_digits();
    expect_char(':');
    output_.emit_u32(lex_.parse_number(lex_.cursor(), true));
    lex_.skip_hex_digits();
    expect_char(')');
    return;
  }

  if (compile_jump_command(at)) return;
  if (lex_.starts_with(word_of(qb::kEnd))) {
    compile_end(at);
    return;
  }
  fail({lex_.cursor(), code::kUnknownCommand,
        format("unknown command ':%s': the colon commands are :i, :s{, :s}, :a{, :a}, :u(OP:VALUE), :OFFSET(N), "
               ":BREAKTO(N), :POS(N) and :end",
               is_blank(c0) || c0 == 0 ? "" : std::string(1, static_cast<char>(c0)).c_str())},
       kExitFailure, format("Unknown Colon command starting with '%c' at line %i\n", c0, line_of(at)));
}

bool ScriptCompiler::compile_jump_command(size_t at) {
  // Each takes a decimal target index in parentheses.
  auto read_index = [this] {
    expect_char('(');
    const uint32_t index = lex_.parse_number(lex_.cursor(), false);
    lex_.skip_decimal_digits();
    expect_char(')');
    return index;
  };
  bool reachable = true;
  if (lex_.accept(qb::kOffsetWord)) {
    reachable = output_.reserve_long(read_index(), {source_, at});
  } else if (lex_.accept(qb::word_of(qb::kBreakTo))) {
    output_.emit(qb::kBreakTo);
    reachable = output_.reserve_long(read_index(), {source_, at});
  } else if (lex_.accept(qb::kPosWord)) {
    reachable = output_.mark(read_index());
  } else {
    return false;
  }
  if (!reachable) {
    fail({at, code::kTooLong, "the output is larger than a 32-bit offset can reach (2 GiB)"}, kExitFailure,
         format("Output too large for a 32-bit offset at line %i\n", line_of(at)));
  }
  lex_.skip_blanks();
  return true;
}

// ":end": nothing after it in this text is read. What stands there, but blanks and comments,
// is reported, as the compile drops it.
void ScriptCompiler::compile_end(size_t at) {
  lex_.advance(qb::word_of(qb::kEnd).size());
  lex_.skip_blanks();
  while (lex_.starts_with("#/")) {
    lex_.advance(1);
    lex_.skip_comment();
  }
  if (!lex_.at_end()) {
    finding({lex_.cursor(), code::kAfterEnd,
             format("this text stands after the ':end' of line %i and is never compiled: move it before ':end'",
                    line_of(at))});
  }
  lex_.end_source();
  if (switch_depth_ == 0 && if_depth_ == 0) return;
  const std::optional<size_t> open = innermost_handled();
  error({at, code::kUnclosedBlock,
         format("':end' inside the %s, which is not closed", open ? block_name(blocks_[*open]).c_str() : "block")},
        kExitFailure,
        format(":end within a switch(%i) or an if(%i) at line %i\n", switch_depth_, if_depth_, line_of(at)));
}

}  // namespace qbkit::compiler
