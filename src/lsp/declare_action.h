// The quick fix of an unknown name, "Declare NAME": the line #addx "NAME", which declares the
// name with the game's checksum of it, added to the first table file that the document
// includes, or at the top of the document when it includes none.
#pragma once

#include <optional>
#include <vector>

#include "lsp/engine.h"
#include "lsp/scanned_text.h"

namespace qbkit::lsp {

// `sources`: the document (first) and the texts its check read; `unknown`: the unknown-name
// diagnostic. nullopt when no name stands there, or the name is one that no declaration can
// hold (a double quote or a control character in it).
std::optional<CodeAction> declare_action(const ReadTexts& sources, const Diagnostic& unknown);

}  // namespace qbkit::lsp
