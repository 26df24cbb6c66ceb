// The game matcher's stream of arbitrary bytes decodes back to those bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "pre/lzss.h"
#include "pre/lzss_game.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qbkit;
  const Bytes stream = pre::compress_game(ByteSpan(data, size));
  std::optional<Bytes> back = pre::decompress_member(stream, size);
  if (!back || !std::equal(back->begin(), back->end(), data, data + size)) std::abort();
  return 0;
}
