// Looking names up among the texts that a document reads: where the compile finds a name's
// declaration, and what a function's body starts with.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "lsp/scanned_text.h"

namespace qbkit::lsp {

struct FoundDeclaration {
  const ScannedText* text;
  const NameDeclaration* declaration;
};

// The declaration that the compile takes for `name` among `sources` (the document and the
// texts it includes): the first with exactly that name, else the first that is the same name
// to the game (case, and '/' against '\', not counted).
std::optional<FoundDeclaration> find_declaration(const ReadTexts& sources, std::string_view name);

// The first line of the function's body that holds a statement, without the blanks around
// it; empty for an empty body.
std::string_view first_body_line(const ScannedText& text, const FunctionExtent& function);

}  // namespace qbkit::lsp
