// Property: the fast compressor writes exactly the reference matcher's stream for any input.
// (That the streams decode back is lzss_roundtrip's property; that the decoders agree with the
// reference decoder on any bytes is lzss_decode's.)
#include <cstdint>

#include "pre/lzss.h"
#include "fuzz_assert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qbkit;
  ByteSpan input(data, size);

  Bytes fast = pre::compress_fast(input);
  FUZZ_ASSERT(fast == pre::compress_reference(input), "the fast compressor writes the reference's stream");
  return 0;
}
