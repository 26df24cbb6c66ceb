// The game matcher's stream of arbitrary bytes decodes back to those bytes.
#include <algorithm>
#include <cstdint>
#include <optional>

#include "support/lzss_buffers.h"
#include "fuzz_assert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qbkit;
  const Bytes stream = test::compress_game(ByteSpan(data, size));
  std::optional<Bytes> back = test::decompress_member(stream, size);
  FUZZ_ASSERT(back && std::equal(back->begin(), back->end(), data, data + size), "the game matcher's stream decodes back to the input");
  return 0;
}
