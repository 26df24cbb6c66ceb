// Arbitrary bytes compressed then decoded give back the input, through member and raw decoding
// (a raw decode of an input shorter than 8 bytes also yields the zero bytes that pad the
// first group to 8).
#include <cstdint>
#include <algorithm>
#include <cstdlib>

#include "pre/lzss.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qbkit;
  const ByteSpan input(data, size);
  const Bytes stream = pre::compress_fast(input);
  std::optional<Bytes> back = pre::decompress_member(stream, size);
  if (!back || !std::equal(back->begin(), back->end(), data, data + size)) std::abort();
  const Bytes raw = pre::decompress_raw(stream);
  if (raw.size() != std::max<size_t>(size, 8) || !std::equal(data, data + size, raw.begin())) std::abort();
  for (size_t i = size; i < raw.size(); ++i)
    if (raw[i] != 0) std::abort();
  return 0;
}
