// The lexer's readers as the compile uses them: a reader that finds nothing it can read
// reports where, with the message mode c prints for it.
#include "common/format.h"
#include "compiler/script_compiler.h"

namespace qbkit::compiler {

void ScriptCompiler::missing_char(char c) {
  const size_t at = lex_.cursor();
  lex_.advance(1);  // the byte is taken whatever it is
  fail({at, code::kMissingPunctuation, format("expected '%c' here, found %s", c, shown_at(at).c_str())},
       kExitMissingPunctuation, format("'%c' Expected - line %i\n", c, line_of(at)));
}

std::string_view ScriptCompiler::read_word(const char* expected) {
  const size_t at = lex_.cursor();
  if (const std::optional<std::string_view> word = lex_.read_word()) return *word;
  fail({at, code::kUnexpectedChar, format("expected %s here, found %s", expected, shown_at(at).c_str())},
       kExitFailure, format("*** error @%i: WORD expected!\n", line_of(at)));
}

QuotedText ScriptCompiler::read_quoted() {
  const size_t at = lex_.cursor();
  const std::optional<QuotedText> s = lex_.read_string();
  if (!s) {
    fail({at, code::kUnexpectedChar, format("expected a quoted text here, found %s", shown_at(at).c_str())},
         kExitFailure, format("*** error @%i: STRING expected!\n", line_of(at)));
  }
  if (!s->closed) {
    // It ran to the end of the file: with `check`, nothing after its quote is read again.
    finding({at, code::kUnclosedString, "the quoted text is never closed: add its closing quote"});
    if (options_.check) resume_at(SIZE_MAX);
  }
  return *s;
}

}  // namespace qbkit::compiler
