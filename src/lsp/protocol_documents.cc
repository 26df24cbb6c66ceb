// The documents' notifications: the store follows the editor's texts, and each new text
// gets its diagnostics.
#include "lsp/protocol.h"
#include "lsp/protocol_json.h"

namespace qbkit::lsp {

const Document* Server::document_of(const Json& params) const {
  return documents_.find(params.at("textDocument").at("uri").get<std::string>());
}

void Server::open_document(const Json& params) {
  const Json& item = params.at("textDocument");
  const Document& document = documents_.open(item.at("uri").get<std::string>(), item.at("version").get<int64_t>(),
                                             item.at("text").get_ref<const std::string&>());
  publish(engine_.diagnose(document, documents_));
}

// Each change is the whole text, as the server asks; a change of a range, which a client may
// send all the same, is applied to the range.
void Server::change_document(const Json& params) {
  const Json& identifier = params.at("textDocument");
  Document* document = documents_.find(identifier.at("uri").get<std::string>());
  if (!document) return;  // never opened: there is no text to change
  const int64_t version = identifier.at("version").get<int64_t>();
  for (const Json& change : params.at("contentChanges")) {
    const std::string& text = change.at("text").get_ref<const std::string&>();
    if (const auto range = change.find("range"); range != change.end()) {
      document->replace(position_from_json(range->at("start")), position_from_json(range->at("end")), text, version);
    } else {
      *document = Document(document->uri(), version, text);
    }
  }
  publish(engine_.diagnose(*document, documents_));
}

void Server::save_document(const Json& params) {
  if (const Document* document = document_of(params)) engine_.saved(*document);
}

// A closed document's own diagnostics go; what the checks of other open documents find in
// it (a table file that they include) stays.
void Server::close_document(const Json& params) {
  const std::string uri = params.at("textDocument").at("uri").get<std::string>();
  documents_.close(uri);
  publish(engine_.closed(uri, documents_));
}

void Server::publish(const std::vector<DocumentDiagnostics>& all) {
  for (const DocumentDiagnostics& entry : all) {
    const Document* document = documents_.find(entry.uri);
    Json diagnostics = Json::array();
    for (const Diagnostic& d : entry.diagnostics) diagnostics.push_back(diagnostic_json(document, d));
    Json params{{"uri", entry.uri}, {"diagnostics", std::move(diagnostics)}};
    if (document) params["version"] = document->version();
    send_(notification_body("textDocument/publishDiagnostics", std::move(params)));
  }
}

}  // namespace qbkit::lsp
