// Name declarations and name lookups of a compile, and the warnings about names and strings
// that an editor may have damaged.
#include "common/format.h"
#include "common/name_checksum.h"
#include "common/text_encoding.h"
#include "compiler/script_compiler.h"
#include "compiler/suggest.h"
#include "qb/words.h"

namespace qbkit::compiler {

// One line begun by '#' (`at`; the cursor just past it): a "#/" comment, or a name declaration,
// "#addx 0x<checksum> \"<name>\"" or "#addx \"<name>\"", which declares the name with the
// game's checksum of it.
void ScriptCompiler::declare_name(size_t at) {
  if (lex_.peek() == '/') {
    lex_.skip_comment();
    return;
  }
  const std::string_view word = read_word("'/' or 'addx' after '#'");
  if (word != qb::kAddxWord) {
    fail({at, code::kUnexpectedChar,
          format("'#%s' is neither a comment ('#/') nor a name declaration ('#addx')", std::string(word).c_str())},
         kExitFailure, format("Error at line %i\n", line_of(at)));
  }
  std::optional<uint32_t> checksum;
  const size_t checksum_at = lex_.cursor();
  if (lex_.peek() != '"') {
    // The two characters of the "0x" prefix are stepped over unexamined.
    lex_.advance(2);
    checksum = lex_.read_hex_field();
  }
  const size_t quote = lex_.cursor();
  const QuotedText name = read_quoted();
  if (name.closed && name.text.find('\n') != std::string_view::npos) {
    // A closing quote forgotten at the end of the line: the name ran on to the next quote.
    finding({quote, code::kUnclosedString, "the name holds a line feed: add its closing quote on its own line"});
    if (options_.check) resume_at(lex_.next_line(quote));
  }
  check_encoding(name.text, "name", quote);
  const uint32_t game = name_checksum(name.text);
  // The game's own tables always agree; a checksum that does not is compiled as written (it
  // may be deliberate), but a typing slip would leave the name unknown to the game.
  if (checksum && *checksum != game) {
    warning({checksum_at, code::kChecksumMismatch,
             format("\"%s\" is declared with the checksum 0x%08x, but the game's checksum of that name is 0x%08x; "
                    "compiled as declared",
                    show_control_bytes(name.text).c_str(), *checksum, game)});
  }
  names_.add_kept_name(checksum.value_or(game), name.text);
}

// An exact match first; then the first entry that the game reads as the same name, as a
// reference written in another case than its declaration means that name to the game.
std::optional<uint32_t> ScriptCompiler::find_name_checksum(std::string_view name) const {
  if (const std::optional<uint32_t> exact = options_.plain ? names_.find_checksum_reference(name)
                                                           : names_.find_checksum(name)) {
    return exact;
  }
  return names_.find_checksum_folded(name);
}

void ScriptCompiler::unknown_name(std::string_view name, size_t at) {
  const std::string text(name);
  check_encoding(name, "name", at);
  const std::string shown = show_control_bytes(name);
  std::string message = format("name '%s' is unknown", shown.c_str());
  std::string note;
  // A name mistyped once is often mistyped at every use: the advice is kept while no name is
  // declared.
  auto [cached, fresh] = advice_.try_emplace(text, names_.size(), std::string());
  if (fresh || cached->second.first != names_.size()) cached->second = {names_.size(), did_you_mean(names_, name)};
  if (const std::string& meant = cached->second.second; !meant.empty()) {
    message += "; did you mean " + meant + "?";
  } else {
    note = format("to add a new name, declare it before its first use with the line #addx \"%s\" "
                  "(or append the output of qbkit -k \"%s\" to the table file)",
                  shown.c_str(), shown.c_str());
  }
  error({at, code::kUnknownName, std::move(message), std::move(note)}, kExitUnknownName,
        format("Name '%s' is unknown - line %i\n", text.c_str(), line_of(at)));
}

void ScriptCompiler::check_encoding(std::string_view text, const char* what, size_t at) {
  const TextEncoding encoding = classify_text(text);
  if (encoding == TextEncoding::kSingleByte) return;
  if (encoding == TextEncoding::kReplacement) {
    warning({at, code::kEncoding,
             format("the %s holds the replacement character U+FFFD (bytes EF BF BD): an editor replaced a byte it "
                    "could not read, and the original byte is lost; type the letter again",
                    what)});
  } else {
    warning({at, code::kEncoding,
             format("the %s is written in UTF-8, but the game reads one byte per character; compiled as it stands. "
                    "Save the text as ISO 8859-1 (Latin-1) to keep one byte per letter",
                    what)});
  }
}

}  // namespace qbkit::compiler
