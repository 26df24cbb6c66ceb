// What the editor shows of the checks: the diagnostics of each URI, gathered from the checks
// of the open documents that reach it. A table file included by two open scripts shows what
// each of their checks found in it, and what its own check found, once each.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "lsp/engine.h"

namespace qbkit::lsp {

using DiagnosticsByUri = std::map<std::string, std::vector<Diagnostic>>;

class DiagnosticBoard {
 public:
  // The check of the document `source` found `found`. Returns what to publish: the source's
  // URI always, and every other URI whose diagnostics changed, each with all it now shows.
  std::vector<DocumentDiagnostics> post(const std::string& source, DiagnosticsByUri found);
  // The document `source` was closed: what its checks found goes. Returns what to publish,
  // the source's URI among it.
  std::vector<DocumentDiagnostics> withdraw(const std::string& source);

 private:
  std::vector<DocumentDiagnostics> replace(const std::string& source, DiagnosticsByUri found);
  std::vector<Diagnostic> shown(const std::string& uri) const;

  // By URI shown, the findings of each source that reaches it.
  std::map<std::string, DiagnosticsByUri> board_;
  // By source, the URIs its last check reached.
  std::map<std::string, std::vector<std::string>> reach_;
};

}  // namespace qbkit::lsp
