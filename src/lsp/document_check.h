// The check of an open document: the compile engine of --check run on the editor's text,
// with the texts it includes, and what it reports turned into the editor's diagnostics, each
// in the file it is about. Nothing is written to disk.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "lsp/engine.h"
#include "lsp/source_loader.h"

namespace qbkit::lsp {

struct DocumentCheck {
  std::vector<CheckedSource> sources;  // what the check read: the document first
  // By URI: the document's own (present even when empty), then those of the texts it includes
  // that have any.
  std::map<std::string, std::vector<Diagnostic>> diagnostics;
};

DocumentCheck check_document(const Document& document, WorkspaceFiles& files, const SourceLoader::OpenLookup& open);

// The code of the diagnostic on a character that has no byte in ISO 8859-1.
inline constexpr std::string_view kNotLatin1Code = "not-latin1";

}  // namespace qbkit::lsp
