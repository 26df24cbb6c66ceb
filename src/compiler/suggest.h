// "Did you mean" for a name that no declaration matches.
#pragma once

#include <string>
#include <string_view>

#include "qb/name_table.h"

namespace qbkit::compiler {

// Up to three declared names within two edits of `typed` (Damerau-Levenshtein, with case and
// '/' against '\' folded as the game folds them), nearest first, ties in declaration order,
// as "'a'", "'a' or 'b'" or "'a', 'b' or 'c'"; empty when none is that close.
std::string did_you_mean(const qb::NameTable& names, std::string_view typed);

}  // namespace qbkit::compiler
