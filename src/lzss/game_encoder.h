// The game encoder, which `pack` and `update` use: the game's own classic binary-tree matcher
// over a 4096-byte ring.
//
// Its streams use the format that the decoder reads, but it chooses other matches than the
// plain encoder: it may refer into the spaces that fill the ring before the data, it keeps
// the longest match that its search trees find, and it writes no first group of eight
// literals. Members compressed with it are byte for byte what the game writes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"

namespace qbkit::lzss {

// The most bytes the stream of `size` input bytes can take: every byte a literal, one flag
// byte per eight.
constexpr size_t game_stream_bound(size_t size) { return size + (size + 7) / 8; }

// The stream the game writes for `input`, written to `out`, whose capacity is
// game_stream_bound(input.size()) bytes; returns its size. An empty input gives an empty
// stream.
size_t compress_game_into(ByteSpan input, uint8_t* out);

// The same stream, from the game's loop as it stands: one insert at a time, each item
// written as soon as its match is found. The reference of tests and benchmarks.
Bytes compress_game_reference(ByteSpan input);

}  // namespace qbkit::lzss
