// The texts of a compile: the main text and those that "%include" pulls in, each compiled in
// place with the reading state of the including text kept aside. A text starts with a check
// of its encoding and ends with the blocks it left open.
#include <algorithm>
#include <cstring>
#include <ostream>

#include "common/format.h"
#include "compiler/script_compiler.h"

namespace qbkit::compiler {

// `at` is the '%'; the cursor stands past the word "include" and its blanks.
void ScriptCompiler::compile_include(size_t at) {
  const std::string name(read_quoted().text);
  if (progress_ != nullptr) *progress_ << format("Including: '%s'\n...", name.c_str());
  LoadedSource loaded = loader_ ? loader_(name, sources_.name(source_)) : LoadedSource{{}, {}, "no such file"};
  if (!loaded.failure.empty()) {
    fail({at, code::kCannotOpen, format("cannot open '%s': %s", name.c_str(), loaded.failure.c_str())},
         kExitFailure, "Couldn't open file!");
  }
  if (std::find(files_.begin(), files_.end(), loaded.identity) != files_.end()) {
    fail({at, code::kRecursiveInclude, format("'%s' includes itself: it is being compiled already", name.c_str())},
         kExitFailure, format("Recursive include of '%s' at line %i\n", name.c_str(), line_of(at)));
  }
  if (nesting_ >= kMaxNesting) nested_too_deep(at);
  reserve_names_for(loaded.text);
  const Place from{source_, at};
  compile_source(sources_.add(std::move(loaded.text), loaded.path.empty() ? name : loaded.path, &from),
                 loaded.identity);
  if (progress_ != nullptr) *progress_ << "done.\n";
  lex_.skip_blanks();
}

void ScriptCompiler::compile_source(uint32_t id, const std::string& identity) {
  // The reading state of the including text, put back however this ends.
  struct Resume {
    ScriptCompiler& c;
    uint32_t source;
    Lexer lex;
    size_t block_base;
    ~Resume() {
      c.source_ = source;
      c.lex_ = lex;
      c.block_base_ = block_base;
      c.files_.pop_back();
    }
  } resume{*this, source_, lex_, block_base_};
  files_.push_back(identity);
  source_ = id;
  block_base_ = blocks_.size();
  if (!start_source(id)) return;
  lex_.skip_blanks();
  for (std::string_view stop; !(stop = compile_statements()).empty();) {
    // The word would end a block of the including text and silently drop the rest of this one.
    const size_t word_at = lex_.cursor();
    const std::string word(stop);
    error({word_at, code::kStrayCloser,
           format("'%s' in an included file: it cannot close a block of the file that includes it", word.c_str())},
          kExitFailure,
          format("'%s' in an included file closes a block opened outside it - line %i\n", word.c_str(),
                 line_of(word_at)));
    lex_.accept(stop);
  }
  end_blocks(block_base_);
}

bool ScriptCompiler::start_source(uint32_t id) {
  const ByteSpan text = sources_.text(id);
  lex_ = Lexer(text, 0, options_.plain);
  if (text.size() >= 2 && ((text[0] == 0xFF && text[1] == 0xFE) || (text[0] == 0xFE && text[1] == 0xFF))) {
    error({0, code::kUtf16,
           "this is UTF-16 text, as PowerShell 5.1's '>' writes it: save it as ANSI or ISO 8859-1 (Latin-1) in the "
           "editor, or write it with '| Out-File -Encoding Default' in PowerShell, or with '>' in cmd.exe"},
          kExitFailure, format("Unkown how to handle '%c' at line 1\n", text[0]));
    return false;
  }
  if (text.size() >= 3 && text[0] == 0xEF && text[1] == 0xBB && text[2] == 0xBF) {
    // It can never be script text, and editors write it unasked.
    warning({0, code::kBom,
             "the file starts with a UTF-8 byte-order mark, which was skipped: save it as ANSI or ISO 8859-1 "
             "(Latin-1), without one"});
    sources_.skip_prefix(id, 3);
    lex_.seek(3);
  }
  return true;
}

void ScriptCompiler::reserve_names_for(ByteSpan text) {
  // Every name declaration begins with '#'; capacity for that many spares the name table from
  // regrowing its indexes while a table file of thousands of names is read. The capacity at
  // least doubles when it grows, so that many small included tables cost linear time.
  if (text.empty()) return;  // an empty text held in memory may have no buffer for memchr
  size_t hashes = 0;
  for (const uint8_t *p = text.data(), *end = p + text.size();
       (p = static_cast<const uint8_t*>(std::memchr(p, '#', static_cast<size_t>(end - p)))) != nullptr; ++p) {
    ++hashes;
  }
  const size_t wanted = names_.size() + hashes;
  if (hashes == 0 || wanted <= names_reserved_) return;
  names_reserved_ = std::max(wanted, 2 * names_reserved_);
  names_.reserve(names_reserved_, 0);
}

}  // namespace qbkit::compiler
