#include "lsp/protocol_json.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "lsp/text_codec.h"

namespace qbkit::lsp {
namespace {

constexpr int kFunctionSymbol = 12;  // the protocol's SymbolKind.Function

uint32_t clamped_u32(const Json& value) {
  const int64_t n = value.get<int64_t>();
  return static_cast<uint32_t>(std::clamp<int64_t>(n, 0, std::numeric_limits<uint32_t>::max()));
}

Json position_json(Position p) { return Json{{"line", p.line}, {"character", p.character}}; }

Position to_protocol(const Document* document, TextPosition p) {
  return document ? document->to_protocol(p) : Position{p.line, p.column};
}

}  // namespace

Position position_from_json(const Json& value) {
  return {clamped_u32(value.at("line")), clamped_u32(value.at("character"))};
}

TextRange range_from_json(const Document& document, const Json& value) {
  return {document.to_text(position_from_json(value.at("start"))),
          document.to_text(position_from_json(value.at("end")))};
}

Json range_json(const Document* document, const TextRange& range) {
  return Json{{"start", position_json(to_protocol(document, range.start))},
              {"end", position_json(to_protocol(document, range.end))}};
}

Json location_json(const DocumentStore& open, const Location& location) {
  return Json{{"uri", location.uri}, {"range", range_json(open.find(location.uri), location.range)}};
}

Json diagnostic_json(const Document* document, const Diagnostic& diagnostic) {
  Json json{{"range", range_json(document, diagnostic.range)},
            {"severity", static_cast<int>(diagnostic.severity)},
            {"source", "qbkit"},
            {"message", latin1_to_utf8(diagnostic.message)}};
  if (!diagnostic.code.empty()) json["code"] = diagnostic.code;
  return json;
}

Diagnostic diagnostic_from_json(const Document& document, const Json& value) {
  Diagnostic diagnostic;
  diagnostic.range = range_from_json(document, value.at("range"));
  if (const auto severity = value.find("severity"); severity != value.end() && severity->is_number_integer())
    diagnostic.severity = static_cast<Severity>(std::clamp<int64_t>(severity->get<int64_t>(), 1, 4));
  const auto code = value.find("code");
  if (code != value.end() && code->is_string()) diagnostic.code = code->get<std::string>();
  diagnostic.message = utf8_to_single_byte(value.at("message").get_ref<const std::string&>()).bytes;
  return diagnostic;
}

Json hover_json(const Document& document, const Hover& hover) {
  return Json{{"contents", {{"kind", "markdown"}, {"value", latin1_to_utf8(hover.markdown)}}},
              {"range", range_json(&document, hover.range)}};
}

Json symbol_json(const Document& document, const Symbol& symbol) {
  return Json{{"name", latin1_to_utf8(symbol.name)},
              {"kind", kFunctionSymbol},
              {"range", range_json(&document, symbol.range)},
              {"selectionRange", range_json(&document, symbol.selection)}};
}

Json completion_json(const CompletionItem& item) {
  Json json{{"label", latin1_to_utf8(item.label)}, {"kind", static_cast<int>(item.kind)}};
  if (!item.detail.empty()) json["detail"] = latin1_to_utf8(item.detail);
  if (!item.insert_text.empty()) json["insertText"] = latin1_to_utf8(item.insert_text);
  return json;
}

Json code_action_json(const DocumentStore& open, const Document& document, const CodeAction& action) {
  Json diagnostics = Json::array();
  for (const Diagnostic& d : action.diagnostics) diagnostics.push_back(diagnostic_json(&document, d));
  Json changes = Json::object();
  for (const TextEdit& edit : action.edits) {
    Json& edits = changes[edit.uri];
    edits.push_back(
        Json{{"range", range_json(open.find(edit.uri), edit.range)}, {"newText", latin1_to_utf8(edit.new_text)}});
  }
  return Json{{"title", latin1_to_utf8(action.title)},
              {"kind", "quickfix"},
              {"diagnostics", std::move(diagnostics)},
              {"edit", {{"changes", std::move(changes)}}}};
}

}  // namespace qbkit::lsp
