// A QB stream shaped like the game's own scripts, of about a given size, for benchmarks and
// large-input tests: functions of name assignments, calls with parameters, structures,
// arrays and conditionals, with the token mix, name and string lengths of real scripts, one
// name record per name after the statements, and the end token last.
//
// The stream decompiles and compiles back to itself in its layout: every name is a word,
// every float needs at most six decimals, no string holds a double quote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/bytes.h"

namespace qbkit::test {

// Whether the stream holds switches, and in which layout. Without switches both layouts read
// the same tokens.
enum class Switches { kNone, kStandard, kThug1 };

// About `size` bytes (a little more: the last function is finished); the same seed gives the
// same stream.
Bytes generate_profile_stream(size_t size, uint32_t seed = 1, Switches switches = Switches::kNone);

// The QB members of a script archive: `count` streams of the game's script sizes (median about
// 6 KB, one in ten above 34 KB), scaled to about `total` bytes together; one in four holds
// switches in the layout `switches` gives (none when kNone).
std::vector<Bytes> generate_profile_scripts(size_t count, size_t total, uint32_t seed, Switches switches);

}  // namespace qbkit::test
