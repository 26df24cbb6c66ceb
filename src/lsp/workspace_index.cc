#include "lsp/workspace_index.h"

#include <algorithm>

namespace qbkit::lsp {

void add_functions_named(const ScannedText& text, uint32_t checksum, std::vector<FoundFunction>& found) {
  for (const FunctionExtent& f : text.scan.functions) {
    if (text.scan.names[f.name_index].checksum == checksum) found.push_back({&text, &f});
  }
}

void WorkspaceIndex::clear() {
  texts_.clear();
  defining_.clear();
  declared_.clear();
  sorted_.clear();
}

void WorkspaceIndex::put(const std::string& key, SharedText text) {
  remove(key);
  learn(key, *text);
  texts_.emplace(key, std::move(text));
}

void WorkspaceIndex::remove(const std::string& key) {
  const auto it = texts_.find(key);
  if (it == texts_.end()) return;
  forget(key, *it->second);
  texts_.erase(it);
}

SharedText WorkspaceIndex::find(const std::string& key) const {
  const auto it = texts_.find(key);
  return it == texts_.end() ? nullptr : it->second;
}

std::vector<FoundFunction> WorkspaceIndex::functions(uint32_t checksum) const {
  std::vector<FoundFunction> found;
  const auto keys = defining_.find(checksum);
  if (keys == defining_.end()) return found;
  std::vector<std::string> sorted = keys->second;
  std::sort(sorted.begin(), sorted.end());
  for (const std::string& key : sorted) add_functions_named(*texts_.at(key), checksum, found);
  return found;
}

const std::vector<std::pair<std::string_view, uint32_t>>& WorkspaceIndex::declared() const {
  if (sorted_stale_) {
    sorted_.clear();
    for (const auto& [name, d] : declared_) sorted_.emplace_back(name, d.checksum);
    std::sort(sorted_.begin(), sorted_.end());
    sorted_stale_ = false;
  }
  return sorted_;
}

void WorkspaceIndex::learn(const std::string& key, const ScannedText& text) {
  for (const FunctionExtent& f : text.scan.functions) {
    std::vector<std::string>& keys = defining_[text.scan.names[f.name_index].checksum];
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
  }
  for (const NameDeclaration& d : text.scan.declarations) {
    DeclaredName& name = declared_[std::string(text[d.name])];
    sorted_stale_ |= name.count++ == 0 || name.checksum != d.checksum;
    name.checksum = d.checksum;
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
    if (it != declared_.end() && --it->second.count == 0) {
      declared_.erase(it);
      sorted_stale_ = true;
    }
  }
}

}  // namespace qbkit::lsp
