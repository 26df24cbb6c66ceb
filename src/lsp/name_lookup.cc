#include "lsp/name_lookup.h"

#include "common/name_checksum.h"
#include "compiler/lexer.h"

namespace qbkit::lsp {
namespace {

template <typename Match>
std::optional<FoundDeclaration> first_declaration(const ReadTexts& sources, Match match) {
  for (const ReadText& read : sources) {
    const ScannedText& text = *read.text;
    for (const NameDeclaration& d : text.scan.declarations) {
      if (match(text[d.name])) return FoundDeclaration{&text, &d};
    }
  }
  return std::nullopt;
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && compiler::is_blank(static_cast<uint8_t>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && compiler::is_blank(static_cast<uint8_t>(s.back()))) s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<FoundDeclaration> find_declaration(const ReadTexts& sources, std::string_view name) {
  if (auto exact = first_declaration(sources, [&](std::string_view declared) { return declared == name; }))
    return exact;
  return first_declaration(sources, [&](std::string_view declared) { return same_game_name(declared, name); });
}

std::string_view first_body_line(const ScannedText& text, const FunctionExtent& function) {
  std::string_view body = function.body.in(text.text);
  while (!body.empty()) {
    const size_t end = body.find('\n');
    // A line break alone (":i") is no statement.
    const std::string_view line = trimmed(body.substr(0, end));
    if (!line.empty() && line != ":i") return line;
    if (end == std::string_view::npos) break;
    body.remove_prefix(end + 1);
  }
  return {};
}

}  // namespace qbkit::lsp
