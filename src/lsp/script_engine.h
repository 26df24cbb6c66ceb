// The engine of `qbkit --lsp`: the script features of the language server. It keeps an index
// of the workspace's names, the texts that each open document's last check read, and the
// diagnostics shown; each feature is a small module of its own (document_check, hover_builder,
// completion, declare_action, ...), and this class hands each the texts it needs.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "lsp/archive_index.h"
#include "lsp/diagnostic_board.h"
#include "lsp/engine.h"
#include "lsp/source_loader.h"
#include "lsp/workspace_files.h"
#include "lsp/workspace_index.h"

namespace qbkit::lsp {

class ScriptEngine final : public Engine {
 public:
  explicit ScriptEngine(WorkspaceFiles& files) : files_(files) {}

  std::vector<std::string> configure(const WorkspaceSettings& settings) override;
  std::vector<DocumentDiagnostics> diagnose(const Document& changed, const DocumentStore& open) override;
  void saved(const Document& document) override;
  std::vector<DocumentDiagnostics> closed(const std::string& uri, const DocumentStore& open) override;
  std::optional<Hover> hover(const Document& document, TextPosition at) override;
  std::vector<Location> definition(const Document& document, TextPosition at) override;
  std::vector<Location> references(const Document& document, TextPosition at, bool with_declaration) override;
  std::vector<Symbol> symbols(const Document& document) override;
  CompletionList completion(const Document& document, TextPosition at) override;
  std::vector<CodeAction> code_actions(const Document& document, TextRange range,
                                       const std::vector<Diagnostic>& context) override;
  std::optional<std::string> member_text(const std::string& uri) override;

 private:
  // An open document: the texts that its last check read (itself first), and their keys.
  struct OpenDocument {
    std::string key;
    ReadTexts sources;
    std::vector<std::string> keys;
  };

  std::vector<DocumentDiagnostics> check(const Document& document, const DocumentStore& open);
  // An archive member that the editor shows: its text as the archive holds it, read only,
  // with nothing to diagnose.
  std::vector<DocumentDiagnostics> show_member(const Document& document);
  // Checks again the open documents whose last check read the file `key`.
  std::vector<DocumentDiagnostics> check_readers(const std::string& key, const DocumentStore& open);
  const ReadTexts& sources_of(const Document& document);
  // The scan of a text that a check read: the one the index or the last check holds of that
  // file when its bytes are the same.
  SharedText scanned(CheckedSource& source, const ReadTexts* before) const;
  // The functions of that checksum: the workspace's, the document's own first; or else the
  // archives'.
  std::vector<FoundFunction> functions_named(uint32_t checksum, const Document& document) const;
  std::string shown_name(const std::string& uri) const;
  // The file `key` as the disk holds it, when it is a script file of the workspace.
  void index_from_disk(const std::string& key, const std::string& uri);

  WorkspaceFiles& files_;
  WorkspaceSettings settings_;
  WorkspaceIndex workspace_;
  ArchiveIndex archives_;
  std::map<std::string, OpenDocument> open_;      // by URI
  std::map<std::string, std::string> open_keys_;  // file key: URI
  DiagnosticBoard board_;
};

}  // namespace qbkit::lsp
