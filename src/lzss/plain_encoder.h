// The plain encoder, which `add` uses: faster than the game's, and its own choices of match.
//
// Its stream always starts with a group of eight literals, and the unused flag bits of its
// last group are set. (The game's stream, which `pack` and `update` write, is the game
// encoder's, game_encoder.h.)
#pragma once

#include "common/bytes.h"

namespace qbkit::lzss {

// A matcher over chains of 3- and 4-byte prefixes whose output equals
// compress_plain_reference byte for byte.
Bytes compress_plain(ByteSpan input);

// The brute-force matcher that defines the plain stream: every position is compared with
// every candidate of the window, oldest first. The reference of tests and benchmarks, and
// compress_plain's fallback for inputs past 4 GiB.
Bytes compress_plain_reference(ByteSpan input);

}  // namespace qbkit::lzss
