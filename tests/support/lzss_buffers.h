// The codec's calls with whole buffers in and out, as the tests and benchmarks use them; the
// tool decodes into a buffer it keeps and compresses into one it sized.
#pragma once

#include <cstddef>
#include <optional>

#include "common/bytes.h"
#include "lzss/decoder.h"
#include "lzss/game_encoder.h"

namespace qbkit::test {

// The stream decoded into exactly `size` bytes; nullopt when it ends before that.
inline std::optional<Bytes> decompress_member(ByteSpan stream, size_t size) {
  Bytes out;
  if (!lzss::decompress_member_into(stream, size, out)) return std::nullopt;
  out.resize(size);
  return out;
}

// The game encoder's stream of `input`.
inline Bytes compress_game(ByteSpan input) {
  Bytes out(lzss::game_stream_bound(input.size()));
  out.resize(lzss::compress_game_into(input, out.data()));
  return out;
}

}  // namespace qbkit::test
