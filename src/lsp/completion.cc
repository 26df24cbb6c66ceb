#include "lsp/completion.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "common/format.h"
#include "common/name_checksum.h"
#include "compiler/lexer.h"
#include "qb/tokens.h"
#include "qb/words.h"

namespace qbkit::lsp {
namespace {

enum class Place { kCode, kName, kQuoted, kComment };

// Where the cursor stands, read from the start of its line (names and quoted texts end on the
// line they start on in the game's scripts), and what was typed of the name or word there.
struct Typed {
  Place place = Place::kCode;
  std::string_view text;
};

Typed typed_at(std::string_view line) {
  Typed typed;
  size_t name_start = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (typed.place == Place::kCode && c == '#' && i + 1 < line.size() && line[i + 1] == '/') return {Place::kComment, {}};
    if (c == '"' && typed.place != Place::kName) typed.place = typed.place == Place::kQuoted ? Place::kCode : Place::kQuoted;
    if (c == '$' && typed.place != Place::kQuoted) {
      typed.place = typed.place == Place::kName ? Place::kCode : Place::kName;
      name_start = i + 1;
    }
  }
  if (typed.place == Place::kName) {
    typed.text = line.substr(name_start);
  } else {
    size_t start = line.size();
    while (start > 0 && compiler::is_word_char(static_cast<uint8_t>(line[start - 1]))) --start;
    typed.text = line.substr(start);
  }
  return typed;
}

// Where `part` stands in `name`, letters' case and '/' against '\' not counted.
size_t folded_find(std::string_view name, std::string_view part) {
  const auto same = [](char a, char b) { return fold_name_byte(uint8_t(a)) == fold_name_byte(uint8_t(b)); };
  return static_cast<size_t>(std::search(name.begin(), name.end(), part.begin(), part.end(), same) - name.begin());
}

// The words of the token table that begin a statement or a condition, with the words that
// stand for no token, each once.
std::vector<std::string_view> keyword_list() {
  std::vector<std::string_view> words = {qb::kCallWord, qb::kArgumentsWord};
  for (int byte = 0; byte < 256; ++byte) {
    const qb::TokenInfo* token = qb::token_info(static_cast<uint8_t>(byte));
    if (!token || token->word.empty()) continue;
    const std::string_view text = token->text.substr(std::min(token->text.find_first_not_of(' '), token->text.size()));
    if (text.starts_with(token->word) && std::find(words.begin(), words.end(), token->word) == words.end())
      words.push_back(token->word);
  }
  return words;
}

// The keywords, gathered from the token table once: the table does not change.
const std::vector<std::string_view>& keywords() {
  static const std::vector<std::string_view> words = keyword_list();
  return words;
}

using Candidate = std::pair<std::string_view, uint32_t>;

// The declared names, the document's texts' first, each once: those that start with the typed
// text, then those that hold it, up to kMostNames.
class NameItems {
 public:
  NameItems(const WorkspaceIndex& workspace, bool between_signs) : workspace_(workspace), between_signs_(between_signs) {}

  void add_matching(const std::vector<Candidate>& candidates, std::string_view typed) {
    for (const bool at_start : {true, false}) {
      for (const auto& [name, checksum] : candidates) {
        const size_t at = folded_find(name, typed);
        if (at < name.size() + (typed.empty() ? 1 : 0) && (at == 0) == at_start) add(name, checksum);
      }
    }
  }
  CompletionList list;

 private:
  void add(std::string_view name, uint32_t checksum) {
    if (name.empty() || !seen_.insert(name).second) return;
    if (list.items.size() == kMostNames) {
      list.incomplete = true;
      return;
    }
    CompletionItem item{std::string(name), workspace_.defines(checksum) ? CompletionKind::kFunction : CompletionKind::kVariable,
                        format("0x%08x", checksum), {}};
    if (between_signs_) item.insert_text = "$" + item.label + "$";
    list.items.push_back(std::move(item));
  }

  const WorkspaceIndex& workspace_;
  bool between_signs_;
  std::unordered_set<std::string_view> seen_;
};

}  // namespace

CompletionList completion_items(const ReadTexts& sources, size_t offset, const WorkspaceIndex& workspace) {
  const ScannedText& document = *sources.front().text;
  const TextPosition at = document.position(offset);
  const Typed typed = typed_at(document.lines.line_text(document.text, at.line).substr(0, at.column));
  if (typed.place == Place::kQuoted || typed.place == Place::kComment) return {};
  std::vector<Candidate> candidates;
  for (const ReadText& read : sources) {
    for (const NameDeclaration& d : read.text->scan.declarations) candidates.emplace_back((*read.text)[d.name], d.checksum);
  }
  const std::vector<Candidate>& declared = workspace.declared();
  candidates.insert(candidates.end(), declared.begin(), declared.end());
  NameItems names(workspace, typed.place == Place::kCode);
  names.add_matching(candidates, typed.text);
  CompletionList list = std::move(names.list);
  if (typed.place == Place::kCode) {
    for (const std::string_view word : keywords()) {
      if (folded_find(word, typed.text) == 0) list.items.push_back({std::string(word), CompletionKind::kKeyword, {}, {}});
    }
  }
  return list;
}

}  // namespace qbkit::lsp
