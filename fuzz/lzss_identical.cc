// Property: each encoder writes exactly its reference's stream for any input: the
// plain encoder the brute-force matcher's, the game matcher the game's loop one insert at a
// time.
// (That the streams decode back is lzss_roundtrip's property; that the decoders agree with the
// reference decoder on any bytes is lzss_decode's.)
#include <cstdint>

#include "lzss/game_encoder.h"
#include "lzss/plain_encoder.h"
#include "support/lzss_buffers.h"
#include "fuzz_assert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qbkit;
  ByteSpan input(data, size);

  FUZZ_ASSERT(lzss::compress_plain(input) == lzss::compress_plain_reference(input),
              "the plain encoder writes its reference's stream");
  FUZZ_ASSERT(test::compress_game(input) == lzss::compress_game_reference(input),
              "the game matcher writes its reference's stream");
  return 0;
}
