// What the language server knows about scripts: the interface that the protocol calls for
// each feature. It speaks in script terms only: documents as the compiler reads them, places
// as byte columns (TextPosition), texts as single bytes. The protocol turns them into JSON,
// UTF-8 and UTF-16 columns; a place in a document that is not open (a file of the workspace,
// a member of an archive) has its bytes read as ISO 8859-1, one UTF-16 unit each.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "lsp/document.h"

namespace qbkit::lsp {

struct TextRange {
  TextPosition start;
  TextPosition end;
  friend bool operator==(const TextRange&, const TextRange&) = default;
};

struct Location {
  std::string uri;
  TextRange range;
};

enum class Severity { kError = 1, kWarning = 2, kInformation = 3, kHint = 4 };

struct Diagnostic {
  TextRange range;
  Severity severity = Severity::kError;
  std::string code;     // the short stable word of --check, as "unknown-name"
  std::string message;  // in --check's words
  friend bool operator==(const Diagnostic&, const Diagnostic&) = default;
};

// The diagnostics of one document, all of them: they replace what was shown before.
struct DocumentDiagnostics {
  std::string uri;
  std::vector<Diagnostic> diagnostics;
};

struct Hover {
  std::string markdown;
  TextRange range;  // the name hovered
};

// An entry of a document's outline.
struct Symbol {
  std::string name;
  TextRange range;      // the whole entry, as a function to its endfunction
  TextRange selection;  // its name
};

enum class CompletionKind { kFunction = 3, kVariable = 6, kKeyword = 14 };

struct CompletionItem {
  std::string label;
  CompletionKind kind = CompletionKind::kVariable;
  std::string detail;
  std::string insert_text;  // when it differs from the label
};

// Completion items; `incomplete` when more would match, so that the editor asks again as the
// typed text grows.
struct CompletionList {
  bool incomplete = false;
  std::vector<CompletionItem> items;
};

struct TextEdit {
  std::string uri;
  TextRange range;
  std::string new_text;
};

struct CodeAction {
  std::string title;
  std::vector<Diagnostic> diagnostics;  // the ones it resolves
  std::vector<TextEdit> edits;
};

// What the workspace is: its folders, and the archives of the qbkit.archives setting, their
// relative paths taken from the first folder.
struct WorkspaceSettings {
  std::vector<std::filesystem::path> folders;
  std::vector<std::filesystem::path> archives;
};

class Engine {
 public:
  virtual ~Engine() = default;

  // Called on `initialized` and after each change of the settings: the engine indexes the
  // workspace and the archives before it returns, so that every later answer knows them.
  // Returns what the user should be told (an archive that cannot be read), one message each.
  virtual std::vector<std::string> configure(const WorkspaceSettings& settings) = 0;

  // After `changed` was opened or changed: the diagnostics to show, of `changed` and of any
  // other document that its text affects (an open script that includes a changed table file).
  // Every new text of an open document comes through here first, so what the engine keeps
  // of open documents for the features below is brought up to date here.
  virtual std::vector<DocumentDiagnostics> diagnose(const Document& changed, const DocumentStore& open) = 0;
  // After a document was saved to disk.
  virtual void saved(const Document& document) = 0;
  // After a document was closed (`open` no longer holds it; its file on disk counts again):
  // the diagnostics to show now, of it and of the documents that its text affected.
  virtual std::vector<DocumentDiagnostics> closed(const std::string& uri, const DocumentStore& open) = 0;

  virtual std::optional<Hover> hover(const Document& document, TextPosition at) = 0;
  virtual std::vector<Location> definition(const Document& document, TextPosition at) = 0;
  virtual std::vector<Location> references(const Document& document, TextPosition at, bool with_declaration) = 0;
  virtual std::vector<Symbol> symbols(const Document& document) = 0;
  virtual CompletionList completion(const Document& document, TextPosition at) = 0;
  // `context`: the diagnostics that the editor shows in `range`.
  virtual std::vector<CodeAction> code_actions(const Document& document, TextRange range,
                                               const std::vector<Diagnostic>& context) = 0;

  // The script text of an archive member, by its URI "qbkit-member:/ARCHIVE/MEMBER.qbs", or
  // nullopt when no archive of the settings holds it.
  virtual std::optional<std::string> member_text(const std::string& uri) = 0;
};

}  // namespace qbkit::lsp
