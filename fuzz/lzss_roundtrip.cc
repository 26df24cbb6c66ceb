// Arbitrary bytes compressed then decoded give back the input, through member and raw decoding
// (a raw decode of an input shorter than 8 bytes also yields the zero bytes that pad the
// first group to 8).
#include <cstdint>
#include <algorithm>

#include "lzss/decoder.h"
#include "lzss/plain_encoder.h"
#include "support/lzss_buffers.h"
#include "fuzz_assert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qbkit;
  const ByteSpan input(data, size);
  const Bytes stream = lzss::compress_plain(input);
  std::optional<Bytes> back = test::decompress_member(stream, size);
  FUZZ_ASSERT(back && std::equal(back->begin(), back->end(), data, data + size), "the stream decodes back to the input");
  const Bytes raw = lzss::decompress_raw(stream);
  FUZZ_ASSERT(!(raw.size() != std::max<size_t>(size, 8) || !std::equal(data, data + size, raw.begin())), "a raw decode gives the input, padded to 8 bytes");
  for (size_t i = size; i < raw.size(); ++i)
    FUZZ_ASSERT(raw[i] == 0, "the padding of a raw decode is zero");
  return 0;
}
