// The LZSS codec of archive members.
//
// A stream is a run of groups: one flag byte, then up to eight items governed by its bits
// from bit 0 up. A set bit is a literal byte; a clear bit is a two-byte back reference
// (12-bit window position, length 3 to 18). Positions count in a 4096-byte ring whose write
// position starts at 4096 - 18, as in the classic scheme; both sides here work on flat
// buffers. A reference that resolves before the start of the output reads from a window of
// spaces, the classic initial ring fill.
//
// The codec works on byte buffers only and knows nothing of archives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "common/bytes.h"

namespace qbkit::pre {

inline constexpr size_t kWindowSize = 4096;
inline constexpr size_t kMaxDistance = kWindowSize - 1;  // the compressor looks back this far
inline constexpr size_t kMinMatch = 3;
inline constexpr size_t kMaxMatch = 18;
inline constexpr size_t kPositionBias = 18;
inline constexpr uint8_t kWindowFill = 0x20;  // what lies before the start of the output

// The plain stream, which `add` writes: it always starts with a group of eight literals, and
// the unused flag bits of its last group are set. (The game's stream, which `pack` writes, is
// compress_game's, lzss_game.h.) A matcher over chains of 3- and 4-byte prefixes whose
// output equals compress_plain_reference byte for byte.
Bytes compress_plain(ByteSpan input);

// The brute-force matcher that defines the plain stream: every position is compared with
// every candidate of the window, oldest first. Kept as the reference for tests and
// benchmarks.
Bytes compress_plain_reference(ByteSpan input);

// Decodes a stream into exactly `size` bytes, reading nothing beyond `stream`. nullopt when
// the stream ends before it has produced `size` bytes.
std::optional<Bytes> decompress_member(ByteSpan stream, size_t size);

// The same into the first `size` bytes of `buffer`, for decoding many members one after
// another: the buffer is grown when too small (with some spare capacity) and never shrunk, so it
// is not cleared for each member (1.05x against a fresh buffer per member). false when the
// stream ends before it has produced `size` bytes.
bool decompress_member_into(ByteSpan stream, size_t size, Bytes& buffer);

// Decodes a whole buffer as one stream: every byte it produces. An item whose bytes would
// lie past the end of the buffer is not decoded.
Bytes decompress_raw(ByteSpan stream);

// The plain byte-at-a-time decoder that defines the output of the two above (`size` is
// SIZE_MAX for a raw stream); they must agree with it on every input.
Bytes decompress_reference(ByteSpan stream, size_t size);

}  // namespace qbkit::pre
