// The engine of `qbkit --lsp`: the script features of the language server.
#pragma once

#include "lsp/engine.h"

namespace qbkit::lsp {

// For now it knows nothing yet: every feature answers empty, and every document is clean.
class ScriptEngine final : public Engine {
 public:
  void configure(const WorkspaceSettings& settings) override;
  std::vector<DocumentDiagnostics> diagnose(const Document& changed, const DocumentStore& open) override;
  void saved(const Document& document) override;
  void closed(const std::string& uri) override;
  std::optional<Hover> hover(const Document& document, TextPosition at) override;
  std::vector<Location> definition(const Document& document, TextPosition at) override;
  std::vector<Location> references(const Document& document, TextPosition at, bool with_declaration) override;
  std::vector<Symbol> symbols(const Document& document) override;
  std::vector<CompletionItem> completion(const Document& document, TextPosition at) override;
  std::vector<CodeAction> code_actions(const Document& document, TextRange range,
                                       const std::vector<Diagnostic>& context) override;
  std::optional<std::string> member_text(const std::string& uri) override;

 private:
  WorkspaceSettings settings_;
};

}  // namespace qbkit::lsp
