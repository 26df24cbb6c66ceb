// Completion: the names that the document's texts and the workspace declare, and, outside a
// name, the keywords of the token table. The names that match the text typed so far come
// first (those that start with it, then those that hold it, case not counted), at most
// kMostNames of them: a workspace of the game's scripts declares some 30,000.
#pragma once

#include <cstddef>

#include "lsp/engine.h"
#include "lsp/workspace_index.h"

namespace qbkit::lsp {

inline constexpr size_t kMostNames = 500;

// `sources`: the document (first) and the texts it includes; `offset`: the cursor in the
// document. Inside "$...": the names. Outside a name: the names, each inserted between dollar
// signs, and the keywords. Inside a comment or a quoted text: nothing.
CompletionList completion_items(const ReadTexts& sources, size_t offset, const WorkspaceIndex& workspace);

}  // namespace qbkit::lsp
