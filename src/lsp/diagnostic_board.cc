#include "lsp/diagnostic_board.h"

#include <algorithm>

namespace qbkit::lsp {

std::vector<DocumentDiagnostics> DiagnosticBoard::post(const std::string& source, DiagnosticsByUri found) {
  found.try_emplace(source);
  return replace(source, std::move(found));
}

std::vector<DocumentDiagnostics> DiagnosticBoard::withdraw(const std::string& source) {
  std::vector<DocumentDiagnostics> published = replace(source, {});
  if (std::none_of(published.begin(), published.end(), [&](const auto& p) { return p.uri == source; }))
    published.push_back({source, shown(source)});
  return published;
}

std::vector<DocumentDiagnostics> DiagnosticBoard::replace(const std::string& source, DiagnosticsByUri found) {
  std::vector<std::string> reached;
  std::map<std::string, std::vector<Diagnostic>> before;
  for (const std::string& uri : reach_[source]) {
    before[uri] = shown(uri);
    board_[uri].erase(source);
    if (board_[uri].empty()) board_.erase(uri);
  }
  for (auto& [uri, diagnostics] : found) {
    before.try_emplace(uri, shown(uri));
    board_[uri][source] = std::move(diagnostics);
    reached.push_back(uri);
  }
  reach_[source] = std::move(reached);
  if (reach_[source].empty()) reach_.erase(source);

  std::vector<DocumentDiagnostics> published;
  for (auto& [uri, old] : before) {
    std::vector<Diagnostic> now = shown(uri);
    if (uri == source || now != old) published.push_back({uri, std::move(now)});
  }
  return published;
}

// The document's own findings first, then those of the checks that include it; each once.
std::vector<Diagnostic> DiagnosticBoard::shown(const std::string& uri) const {
  std::vector<Diagnostic> all;
  const auto entry = board_.find(uri);
  if (entry == board_.end()) return all;
  const auto add = [&all](const std::vector<Diagnostic>& some) {
    for (const Diagnostic& d : some) {
      if (std::find(all.begin(), all.end(), d) == all.end()) all.push_back(d);
    }
  };
  if (const auto own = entry->second.find(uri); own != entry->second.end()) add(own->second);
  for (const auto& [source, some] : entry->second) {
    if (source != uri) add(some);
  }
  return all;
}

}  // namespace qbkit::lsp
