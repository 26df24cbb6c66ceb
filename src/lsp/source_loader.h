// Where a check of an open document gets its texts: the documents open in the editor from
// their latest text, every other file from disk. An "%include" name is taken as --check takes
// it when run in the document's folder (the folder that the editor's check task runs in):
// from that folder, and failing that beside the file whose line it is.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "compiler/compiler.h"
#include "lsp/document.h"
#include "lsp/workspace_files.h"

namespace qbkit::lsp {

// A text that a check read.
struct CheckedSource {
  std::string name;  // as the compiler names it: the main document's URI, or the "%include" line's name
  std::string uri;   // of the open document, or of the file on disk
  std::string key;   // file_key of its path
  std::filesystem::path path;  // empty for an open document that is no file ("untitled:")
  std::string text;
};

class SourceLoader {
 public:
  // The open document of a file key, or nullptr.
  using OpenLookup = std::function<const Document*(const std::string& key)>;

  SourceLoader(const Document& main, WorkspaceFiles& files, OpenLookup open);

  // The compiler's loader: the text of `name`, included by the text named `including`.
  LoadedSource load(const std::string& name, const std::string& including);

  // What was read, in the order of reading: the main document first.
  const std::vector<CheckedSource>& sources() const { return sources_; }
  // The source of a diagnostic's file name, or nullptr.
  const CheckedSource* by_name(const std::string& name) const;

 private:
  LoadedSource read(const std::string& name, const std::filesystem::path& path);

  WorkspaceFiles& files_;
  OpenLookup open_;
  std::filesystem::path base_;  // the main document's folder
  std::vector<CheckedSource> sources_;
};

}  // namespace qbkit::lsp
