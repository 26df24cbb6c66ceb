// The feature requests: each names a place in an open document, asks the engine, and
// answers in the protocol's JSON. A document that is not open has nothing to show.
#include "lsp/protocol.h"
#include "lsp/protocol_json.h"
#include "lsp/text_codec.h"

namespace qbkit::lsp {
namespace {

TextPosition place_of(const Document& document, const Json& params) {
  return document.to_text(position_from_json(params.at("position")));
}

}  // namespace

Json Server::hover(const Json& params) {
  const Document* document = document_of(params);
  if (!document) return nullptr;
  const std::optional<Hover> hover = engine_.hover(*document, place_of(*document, params));
  return hover ? hover_json(*document, *hover) : Json(nullptr);
}

Json Server::definition(const Json& params) {
  Json locations = Json::array();
  if (const Document* document = document_of(params)) {
    for (const Location& l : engine_.definition(*document, place_of(*document, params)))
      locations.push_back(location_json(documents_, l));
  }
  return locations;
}

Json Server::references(const Json& params) {
  Json locations = Json::array();
  if (const Document* document = document_of(params)) {
    const bool with_declaration = params.at("context").at("includeDeclaration").get<bool>();
    for (const Location& l : engine_.references(*document, place_of(*document, params), with_declaration))
      locations.push_back(location_json(documents_, l));
  }
  return locations;
}

Json Server::document_symbols(const Json& params) {
  Json symbols = Json::array();
  if (const Document* document = document_of(params)) {
    for (const Symbol& s : engine_.symbols(*document)) symbols.push_back(symbol_json(*document, s));
  }
  return symbols;
}

Json Server::completion(const Json& params) {
  Json items = Json::array();
  bool incomplete = false;
  if (const Document* document = document_of(params)) {
    const CompletionList list = engine_.completion(*document, place_of(*document, params));
    for (const CompletionItem& item : list.items) items.push_back(completion_json(item));
    incomplete = list.incomplete;
  }
  return Json{{"isIncomplete", incomplete}, {"items", std::move(items)}};
}

Json Server::code_actions(const Json& params) {
  Json actions = Json::array();
  const Document* document = document_of(params);
  if (!document) return actions;
  std::vector<Diagnostic> context;
  for (const Json& d : params.at("context").at("diagnostics")) context.push_back(diagnostic_from_json(*document, d));
  const TextRange range = range_from_json(*document, params.at("range"));
  for (const CodeAction& action : engine_.code_actions(*document, range, context))
    actions.push_back(code_action_json(documents_, *document, action));
  return actions;
}

// The script text of an archive member, or null when no archive of the settings holds it.
Json Server::member_text(const Json& params) {
  const std::optional<std::string> text = engine_.member_text(params.at("uri").get<std::string>());
  return text ? Json(latin1_to_utf8(*text)) : Json(nullptr);
}

}  // namespace qbkit::lsp
