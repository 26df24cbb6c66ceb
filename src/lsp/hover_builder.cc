#include "lsp/hover_builder.h"

#include "common/format.h"

namespace qbkit::lsp {
namespace {

// An indented code block: its text is shown as it is, whatever it holds.
std::string code_block(std::string_view line) { return "\n\n    " + std::string(line); }

std::string place(const ScannedText& text, size_t offset, const ShownName& shown) {
  return format("%s, line %u", shown(text.uri).c_str(), text.position(offset).line + 1);
}

std::string declaration_part(const FoundDeclaration& found, const ShownName& shown) {
  const ScannedText& text = *found.text;
  return "\n\nDeclared in " + place(text, found.declaration->line.start, shown) + ":" +
         code_block(text.line_at(found.declaration->line.start));
}

std::string function_part(const std::vector<FoundFunction>& functions, const ShownName& shown) {
  const FoundFunction& first = functions.front();
  std::string part = "\n\nFunction in " + place(*first.text, first.function->whole.start, shown);
  if (functions.size() > 1) part += format(" (defined %zu times)", functions.size());
  const std::string_view body = first_body_line(*first.text, *first.function);
  if (body.empty()) return part + "; its body is empty.";
  return part + "; its body starts:" + code_block(body);
}

}  // namespace

std::string hover_markdown(const HoverFacts& facts, const ShownName& shown) {
  std::string text = "`$" + std::string(facts.name) + "$`";
  if (facts.declaration) {
    text += format(" checksum `0x%08x`", facts.declaration->declaration->checksum);
    text += declaration_part(*facts.declaration, shown);
  } else {
    text += format(" checksum `0x%08x`, the game's checksum of the name: it is not declared", facts.game_checksum);
  }
  if (!facts.functions.empty()) text += function_part(facts.functions, shown);
  return text;
}

}  // namespace qbkit::lsp
