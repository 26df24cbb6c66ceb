// An index of the names across the workspace: every script file under the folders, each
// open document in place of its file while it is open. It answers which texts define a
// function of a given checksum, and which names the texts declare.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "lsp/scanned_text.h"

namespace qbkit::lsp {

// A name that texts of the index declare, and how many declarations of it there are.
struct DeclaredName {
  uint32_t checksum = 0;
  size_t count = 0;
};

// A function found: the text and its extent there.
struct FoundFunction {
  const ScannedText* text;
  const FunctionExtent* function;
};

// Adds to `found` the functions of `text` whose name has the checksum `checksum`, in text order.
void add_functions_named(const ScannedText& text, uint32_t checksum, std::vector<FoundFunction>& found);

class WorkspaceIndex {
 public:
  void clear();
  // Takes the text of the file `key` (a file_key), replacing what the index held of it.
  void put(const std::string& key, SharedText text);
  void remove(const std::string& key);
  // The text of the file `key`, or nullptr.
  SharedText find(const std::string& key) const;

  // The functions whose name has the game's checksum `checksum`, in the order of the keys.
  std::vector<FoundFunction> functions(uint32_t checksum) const;
  bool defines(uint32_t checksum) const { return defining_.contains(checksum); }
  // Every name declared in the texts, as written, with its checksum, in the order of the names.
  const std::vector<std::pair<std::string_view, uint32_t>>& declared() const;
  // The texts, by key.
  const std::map<std::string, SharedText>& texts() const { return texts_; }

 private:
  void forget(const std::string& key, const ScannedText& text);
  void learn(const std::string& key, const ScannedText& text);

  std::map<std::string, SharedText> texts_;
  std::unordered_map<uint32_t, std::vector<std::string>> defining_;  // checksum: keys of texts
  std::unordered_map<std::string, DeclaredName> declared_;
  mutable std::vector<std::pair<std::string_view, uint32_t>> sorted_;  // of declared_, once asked for
  mutable bool sorted_stale_ = false;
};

}  // namespace qbkit::lsp
