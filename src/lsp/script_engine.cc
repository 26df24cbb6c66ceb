#include "lsp/script_engine.h"

namespace qbkit::lsp {

void ScriptEngine::configure(const WorkspaceSettings& settings) { settings_ = settings; }

std::vector<DocumentDiagnostics> ScriptEngine::diagnose(const Document& changed, const DocumentStore&) {
  return {DocumentDiagnostics{changed.uri(), {}}};
}

void ScriptEngine::saved(const Document&) {}

void ScriptEngine::closed(const std::string&) {}

std::optional<Hover> ScriptEngine::hover(const Document&, TextPosition) { return std::nullopt; }

std::vector<Location> ScriptEngine::definition(const Document&, TextPosition) { return {}; }

std::vector<Location> ScriptEngine::references(const Document&, TextPosition, bool) { return {}; }

std::vector<Symbol> ScriptEngine::symbols(const Document&) { return {}; }

std::vector<CompletionItem> ScriptEngine::completion(const Document&, TextPosition) { return {}; }

std::vector<CodeAction> ScriptEngine::code_actions(const Document&, TextRange, const std::vector<Diagnostic>&) {
  return {};
}

std::optional<std::string> ScriptEngine::member_text(const std::string&) { return std::nullopt; }

}  // namespace qbkit::lsp
