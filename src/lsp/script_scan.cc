#include "lsp/script_scan.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "compiler/lexer.h"
#include "qb/tokens.h"
#include "qb/words.h"
#include "scripts/name_finder.h"

namespace qbkit::lsp {
namespace {

using compiler::is_blank;
using compiler::is_word_char;

bool word_char_at(std::string_view text, size_t at) {
  return at < text.size() && is_word_char(static_cast<uint8_t>(text[at]));
}

// Whether the whole word `word` stands at `at`: no word character before or after it.
bool word_at(std::string_view text, size_t at, std::string_view word) {
  return text.compare(at, word.size(), word) == 0 && !word_char_at(text, at + word.size()) &&
         (at == 0 || !word_char_at(text, at - 1));
}

size_t skip_blanks(std::string_view text, size_t at) {
  while (at < text.size() && is_blank(static_cast<uint8_t>(text[at]))) ++at;
  return at;
}

size_t line_end(std::string_view text, size_t at) { return std::min(text.find('\n', at), text.size()); }

// The quoted text whose opening quote is at `at`: the span between the quotes, and the end
// after the closing one (the end of the text when it is missing).
struct Quoted {
  Span inside;
  size_t end;
};
Quoted quoted_at(std::string_view text, size_t at) {
  const size_t close = std::min(text.find('"', at + 1), text.size());
  return {{at + 1, close}, std::min(close + 1, text.size())};
}

// After "$...$" whose first sign is at `at`, when its closing sign stands on that line; else
// after the sign alone.
size_t after_name(std::string_view text, size_t at) {
  const size_t close = text.find_first_of("$\n", at + 1);
  return close == std::string_view::npos || text[close] != '$' ? at + 1 : close + 1;
}

// What the name finder leaves to this pass: where each "endfunction" stands, and the
// "%include" lines.
struct Structure {
  std::vector<size_t> closers;  // in text order
  std::vector<IncludeLine> includes;
};

class StructureScanner {
 public:
  explicit StructureScanner(std::string_view text) : text_(text) {}
  Structure run();

 private:
  void percent(size_t at);
  void word(size_t at);

  std::string_view text_;
  size_t at_ = 0;
  Structure found_;
};

Structure StructureScanner::run() {
  while (at_ < text_.size()) {
    const size_t at = at_;
    switch (text_[at]) {
      case '#': at_ = text_.compare(at + 1, 1, "/") == 0 ? line_end(text_, at) : at + 1; break;
      case '%': percent(at); break;
      case '$': at_ = after_name(text_, at); break;
      case '"': at_ = quoted_at(text_, at).end; break;
      default: word(at); break;
    }
  }
  return std::move(found_);
}

// "%include" and its quoted file name; any other command word is passed over.
void StructureScanner::percent(size_t at) {
  at_ = at + 1;
  if (text_.compare(at_, qb::kIncludeWord.size(), qb::kIncludeWord) != 0) return;
  const size_t p = skip_blanks(text_, at_ + qb::kIncludeWord.size());
  if (p >= text_.size() || text_[p] != '"') return;
  const Quoted file = quoted_at(text_, p);
  found_.includes.push_back({{at, file.end}, file.inside});
  at_ = file.end;
}

// "endfunction" is noted; every word is passed over whole, so that no keyword is found inside
// a longer word.
void StructureScanner::word(size_t at) {
  if (!word_char_at(text_, at)) {
    at_ = at + 1;
    return;
  }
  if (word_at(text_, at, qb::word_of(qb::kEndFunction))) found_.closers.push_back(at);
  at_ = at;
  while (word_char_at(text_, at_)) ++at_;
}

// The function whose "function" stands at `start`, named by names[name_index]: it closes at
// the first "endfunction" after its name and before `limit` (where the next one starts, or
// the end of the text), else at `limit`.
FunctionExtent function_at(size_t start, size_t name_index, const ScriptScan& scan, const std::vector<size_t>& closers,
                           size_t limit) {
  const size_t body = scan.names[name_index].whole.end;
  const auto closer = std::lower_bound(closers.begin(), closers.end(), body);
  if (closer != closers.end() && *closer < limit)
    return {{start, *closer + qb::word_of(qb::kEndFunction).size()}, {body, *closer}, name_index};
  return {{start, limit}, {body, limit}, name_index};
}

}  // namespace

ScriptScan scan_script(std::string_view text) {
  ScriptScan scan;
  std::vector<std::pair<size_t, size_t>> definitions;  // where "function" stands, the name's index
  for (const scripts::NameOccurrence& o : scripts::find_names(text)) {
    const auto start = static_cast<size_t>(o.name.data() - text.data());
    const Span name{start, start + o.name.size()};
    if (o.role == scripts::NameRole::kDeclaration) {
      scan.declarations.push_back({{o.offset, std::min(name.end + 1, text.size())}, name, o.checksum});
      continue;
    }
    if (o.role == scripts::NameRole::kDefinition) definitions.emplace_back(o.offset, scan.names.size());
    scan.names.push_back({{name.start - 1, name.end + 1}, name, o.checksum});
  }
  Structure structure = StructureScanner(text).run();
  scan.includes = std::move(structure.includes);
  for (size_t k = 0; k < definitions.size(); ++k) {
    const size_t limit = k + 1 < definitions.size() ? definitions[k + 1].first : text.size();
    scan.functions.push_back(function_at(definitions[k].first, definitions[k].second, scan, structure.closers, limit));
  }
  return scan;
}

std::optional<NameMention> name_at(std::string_view text, const ScriptScan& scan, size_t offset) {
  const auto after = std::upper_bound(scan.names.begin(), scan.names.end(), offset,
                                      [](size_t at, const NameMention& n) { return at < n.whole.start; });
  if (after != scan.names.begin() && offset < std::prev(after)->whole.end) return *std::prev(after);
  for (const NameDeclaration& d : scan.declarations) {
    if (offset >= d.name.start - 1 && offset <= d.name.end)
      return NameMention{{d.name.start - 1, std::min(d.name.end + 1, text.size())}, d.name, d.checksum};
  }
  return std::nullopt;
}

}  // namespace qbkit::lsp
