// The fast compressor must write exactly the reference's stream for any input, and the
// stream must decode back to the input. Arbitrary bytes, read as a stream, must decode the
// same in the fast and the reference decoder.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "pre/lzss.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qbkit;
  ByteSpan input(data, size);

  Bytes fast = pre::compress_fast(input);
  if (fast != pre::compress_reference(input)) std::abort();
  std::optional<Bytes> back = pre::decompress_member(fast, size);
  if (!back || !std::equal(back->begin(), back->end(), data, data + size)) std::abort();

  Bytes raw = pre::decompress_raw(input);
  if (raw != pre::decompress_reference(input, SIZE_MAX)) std::abort();
  size_t wanted = size > 0 ? data[0] * size / 255 * 3 : 0;  // sometimes beyond what decodes
  std::optional<Bytes> member = pre::decompress_member(input, wanted);
  if (member.has_value() != (wanted <= raw.size())) std::abort();
  if (member && !std::equal(member->begin(), member->end(), raw.begin())) std::abort();
  return 0;
}
