// The text shown on hovering a name: its checksum, where it is declared, and for a function
// where it is defined and the first line of its body.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "lsp/name_lookup.h"
#include "lsp/workspace_index.h"

namespace qbkit::lsp {

struct HoverFacts {
  std::string_view name;  // as the hovered text writes it
  uint32_t game_checksum = 0;
  std::optional<FoundDeclaration> declaration;
  std::vector<FoundFunction> functions;  // its definitions, the one shown first
};

// How a file is named in what the user reads: its URI to a short name.
using ShownName = std::function<std::string(const std::string& uri)>;

// Markdown; the texts quoted from scripts stand in code blocks, as they are.
std::string hover_markdown(const HoverFacts& facts, const ShownName& shown);

}  // namespace qbkit::lsp
