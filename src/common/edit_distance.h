// How far apart two short texts are, for "did you mean" advice on a mistyped name or switch.
#pragma once

#include <string_view>

namespace qbkit {

// The Damerau-Levenshtein distance of `a` and `b`: the fewest insertions, deletions,
// substitutions and swaps of two adjacent bytes that turn one into the other (a swapped pair
// may still be edited around). Only distances up to `limit` are told apart: anything farther
// gives limit + 1, as do texts whose lengths alone differ by more.
int edit_distance(std::string_view a, std::string_view b, int limit);

}  // namespace qbkit
