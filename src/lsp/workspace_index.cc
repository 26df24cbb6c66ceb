#include "lsp/workspace_index.h"

#include <algorithm>

namespace qbkit::lsp {

void WorkspaceIndex::clear() {
  texts_.clear();
  defining_.clear();
  declared_.clear();
}

void WorkspaceIndex::put(const std::string& key, std::string uri, std::string text) {
  remove(key);
  auto scanned = std::make_unique<ScannedText>(std::move(uri), std::move(text));
  learn(key, *scanned);
  texts_.emplace(key, std::move(scanned));
}

void WorkspaceIndex::remove(const std::string& key) {
  const auto it = texts_.find(key);
  if (it == texts_.end()) return;
  forget(key, *it->second);
  texts_.erase(it);
}

std::vector<FoundFunction> WorkspaceIndex::functions(uint32_t checksum) const {
  std::vector<FoundFunction> found;
  const auto keys = defining_.find(checksum);
  if (keys == defining_.end()) return found;
  std::vector<std::string> sorted = keys->second;
  std::sort(sorted.begin(), sorted.end());
  for (const std::string& key : sorted) {
    const ScannedText& text = *texts_.at(key);
    for (const FunctionExtent& f : text.scan.functions) {
      if (text.scan.names[f.name_index].checksum == checksum) found.push_back({&text, &f});
    }
  }
  return found;
}

void WorkspaceIndex::learn(const std::string& key, const ScannedText& text) {
  for (const FunctionExtent& f : text.scan.functions) {
    std::vector<std::string>& keys = defining_[text.scan.names[f.name_index].checksum];
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
  }
  for (const NameDeclaration& d : text.scan.declarations) {
    DeclaredName& name = declared_[std::string(text[d.name])];
    name.checksum = d.checksum;
    ++name.count;
  }
}

void WorkspaceIndex::forget(const std::string& key, const ScannedText& text) {
  for (const FunctionExtent& f : text.scan.functions) {
    const auto it = defining_.find(text.scan.names[f.name_index].checksum);
    if (it == defining_.end()) continue;
    std::erase(it->second, key);
    if (it->second.empty()) defining_.erase(it);
  }
  for (const NameDeclaration& d : text.scan.declarations) {
    const auto it = declared_.find(std::string(text[d.name]));
    if (it != declared_.end() && --it->second.count == 0) declared_.erase(it);
  }
}

}  // namespace qbkit::lsp
