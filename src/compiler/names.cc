// Name declarations and name lookups of a compile, and the warnings about names and strings
// that an editor may have damaged.
#include <ostream>

#include "common/error.h"
#include "common/format.h"
#include "common/name_checksum.h"
#include "common/text_encoding.h"
#include "compiler/script_compiler.h"

namespace qbkit::compiler {

void ScriptCompiler::declare_name() {
  const std::optional<NameDeclaration> d = lex_.read_hash_line();
  if (!d) return;
  check_encoding(d->name, "name", d->line);
  const uint32_t game = name_checksum(d->name);
  // The game's own tables always agree; a checksum that does not is compiled as written (it
  // may be deliberate), but a typing slip would leave the name unknown to the game.
  if (d->checksum && *d->checksum != game && take_warning()) {
    const std::string name(d->name);
    *err_ << format("Warning: '%s' line %i: \"%s\" is declared with the checksum 0x%08x, but the game's checksum "
                    "of that name is 0x%08x; compiled as declared\n",
                    shown_.back().c_str(), d->line, name.c_str(), *d->checksum, game);
  }
  names_.add_name(d->checksum.value_or(game), d->name);
}

// An exact match first; then the first entry that the game reads as the same name, as a
// reference written in another case than its declaration means that name to the game.
std::optional<uint32_t> ScriptCompiler::find_name_checksum(std::string_view name) const {
  if (const std::optional<uint32_t> exact = names_.find_checksum(name)) return exact;
  return names_.find_checksum_folded(name);
}

void ScriptCompiler::unknown_name(std::string_view name, int line) {
  const std::string text(name);
  check_encoding(name, "name", line);
  if (err_ != nullptr) {
    *err_ << format("To add a new name, declare it before its first use with the line #addx \"%s\" "
                    "(or append the output of qbkit -k \"%s\" to the table file)\n",
                    text.c_str(), text.c_str());
  }
  throw Error(kExitUnknownName, format("Name '%s' is unknown - line %i\n", text.c_str(), line));
}

void ScriptCompiler::check_encoding(std::string_view text, const char* what, int line) {
  const TextEncoding encoding = classify_text(text);
  if (encoding == TextEncoding::kSingleByte || !take_warning()) return;
  if (encoding == TextEncoding::kReplacement) {
    *err_ << format("Warning: '%s' line %i: the %s holds the replacement character U+FFFD (bytes EF BF BD): an "
                    "editor replaced a byte it could not read, and the original byte is lost; type the letter again\n",
                    shown_.back().c_str(), line, what);
  } else {
    *err_ << format("Warning: '%s' line %i: the %s is written in UTF-8, but the game reads one byte per character; "
                    "compiled as it stands. Save the text as ISO 8859-1 (Latin-1) to keep one byte per letter\n",
                    shown_.back().c_str(), line, what);
  }
}

bool ScriptCompiler::take_warning() {
  if (err_ == nullptr) return false;
  if (++warnings_ <= kMaxWarnings) return true;
  if (warnings_ == kMaxWarnings + 1) *err_ << "Warning: further warnings of this compile are not shown\n";
  return false;
}

}  // namespace qbkit::compiler
