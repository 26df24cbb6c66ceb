// Completion: the names that the document's texts and the workspace declare, and, outside a
// name, the keywords of the token table.
#pragma once

#include <cstddef>
#include <vector>

#include "lsp/engine.h"
#include "lsp/workspace_index.h"

namespace qbkit::lsp {

// `sources`: the document (first) and the texts it includes; `offset`: the cursor in the
// document. Inside "$...": the names. Outside a name: the names, each inserted between dollar
// signs, and the keywords. Inside a comment or a quoted text: nothing.
std::vector<CompletionItem> completion_items(const std::vector<ScannedText>& sources, size_t offset,
                                             const WorkspaceIndex& workspace);

}  // namespace qbkit::lsp
