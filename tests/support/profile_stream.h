// A QB stream shaped like the game's own scripts, of about a given size, for benchmarks and
// large-input tests: functions of name assignments, calls with parameters, structures,
// arrays and conditionals, with the token mix, name and string lengths of real scripts, one
// name record per name after the statements, and the end token last.
//
// The stream decompiles and compiles back to itself in the standard layout: every name is a
// word, every float needs at most six decimals, no string holds a double quote.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"

namespace qbkit::test {

// About `size` bytes (a little more: the last function is finished); the same seed gives the
// same stream.
Bytes generate_profile_stream(size_t size, uint32_t seed = 1);

}  // namespace qbkit::test
