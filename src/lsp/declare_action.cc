#include "lsp/declare_action.h"

#include <algorithm>

#include "common/format.h"
#include "qb/words.h"

namespace qbkit::lsp {
namespace {

bool declarable(std::string_view name) {
  return !name.empty() &&
         std::none_of(name.begin(), name.end(), [](char c) { return c == '"' || static_cast<uint8_t>(c) < 0x20; });
}

// The text of the first "%include" line of the document, when its check could read it.
const ScannedText* first_table_file(const ReadTexts& sources) {
  const ScannedText& document = *sources.front().text;
  if (document.scan.includes.empty()) return nullptr;
  const std::string_view file = document[document.scan.includes.front().file];
  const auto it = std::find_if(sources.begin() + 1, sources.end(), [&](const ReadText& t) { return t.name == file; });
  return it == sources.end() ? nullptr : it->text.get();
}

}  // namespace

std::optional<CodeAction> declare_action(const ReadTexts& sources, const Diagnostic& unknown) {
  const ScannedText& document = *sources.front().text;
  const std::optional<NameMention> name = name_at(document.text, document.scan, document.lines.offset_of(document.text, unknown.range.start));
  if (!name || !declarable(document[name->name])) return std::nullopt;
  const std::string shown(document[name->name]);
  const std::string line = format("#%s \"%s\"\n", std::string(qb::kAddxWord).c_str(), shown.c_str());
  TextEdit edit;
  if (const ScannedText* table = first_table_file(sources)) {
    const TextPosition end = table->position(table->text.size());
    const bool open_line = !table->text.empty() && table->text.back() != '\n';
    edit = {table->uri, {end, end}, open_line ? "\n" + line : line};
  } else {
    edit = {document.uri, {}, line};
  }
  return CodeAction{"Declare " + shown, {unknown}, {std::move(edit)}};
}

}  // namespace qbkit::lsp
