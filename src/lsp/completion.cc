#include "lsp/completion.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "common/format.h"
#include "qb/tokens.h"
#include "qb/words.h"

namespace qbkit::lsp {
namespace {

enum class Place { kCode, kName, kQuoted, kComment };

// Where the cursor stands, read from the start of its line: names and quoted texts end on the
// line they start on in the game's scripts.
Place place_of(std::string_view line) {
  Place place = Place::kCode;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (place == Place::kCode && c == '#' && i + 1 < line.size() && line[i + 1] == '/') return Place::kComment;
    if (c == '"' && place != Place::kName) place = place == Place::kQuoted ? Place::kCode : Place::kQuoted;
    if (c == '$' && place != Place::kQuoted) place = place == Place::kName ? Place::kCode : Place::kName;
  }
  return place;
}

// The words of the token table that begin a statement or a condition, with the words that
// stand for no token, each once.
std::vector<std::string_view> keywords() {
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

class NameItems {
 public:
  NameItems(const WorkspaceIndex& workspace, bool between_signs) : workspace_(workspace), between_signs_(between_signs) {}

  void add(std::string_view name, uint32_t checksum) {
    if (name.empty() || !seen_.insert(name).second) return;
    const bool function = workspace_.defines(checksum);
    CompletionItem item{std::string(name), function ? CompletionKind::kFunction : CompletionKind::kVariable,
                        format("0x%08x", checksum), {}};
    if (between_signs_) item.insert_text = "$" + item.label + "$";
    items.push_back(std::move(item));
  }
  std::vector<CompletionItem> items;

 private:
  const WorkspaceIndex& workspace_;
  bool between_signs_;
  std::unordered_set<std::string_view> seen_;
};

}  // namespace

std::vector<CompletionItem> completion_items(const std::vector<ScannedText>& sources, size_t offset,
                                             const WorkspaceIndex& workspace) {
  const ScannedText& document = sources.front();
  const TextPosition at = document.position(offset);
  const std::string_view line = document.lines.line_text(document.text, at.line).substr(0, at.column);
  const Place place = place_of(line);
  if (place == Place::kQuoted || place == Place::kComment) return {};
  NameItems names(workspace, place == Place::kCode);
  for (const ScannedText& text : sources) {
    for (const NameDeclaration& d : text.scan.declarations) names.add(text[d.name], d.checksum);
  }
  std::vector<std::pair<std::string_view, uint32_t>> declared;
  for (const auto& [name, d] : workspace.declared()) declared.emplace_back(name, d.checksum);
  std::sort(declared.begin(), declared.end());
  for (const auto& [name, checksum] : declared) names.add(name, checksum);
  std::vector<CompletionItem> items = std::move(names.items);
  if (place == Place::kCode) {
    for (const std::string_view word : keywords()) items.push_back({std::string(word), CompletionKind::kKeyword, {}, {}});
  }
  return items;
}

}  // namespace qbkit::lsp
