// The fast compressor must write exactly the reference's stream for any input, and the
// stream must decode back to the input. Arbitrary bytes, read as a stream, must decode the
// same in the fast and the reference decoder.
#include <algorithm>
#include <cstdint>
#include <optional>

#include "pre/lzss.h"
#include "fuzz_assert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qbkit;
  ByteSpan input(data, size);

  Bytes fast = pre::compress_fast(input);
  FUZZ_ASSERT(fast == pre::compress_reference(input), "the fast compressor writes the reference's stream");
  std::optional<Bytes> back = pre::decompress_member(fast, size);
  FUZZ_ASSERT(back && std::equal(back->begin(), back->end(), data, data + size), "the fast stream decodes back to the input");

  Bytes raw = pre::decompress_raw(input);
  FUZZ_ASSERT(!(raw != pre::decompress_reference(input, SIZE_MAX)), "the raw decode agrees with the reference");
  size_t wanted = size > 0 ? data[0] * size / 255 * 3 : 0;  // sometimes beyond what decodes
  std::optional<Bytes> member = pre::decompress_member(input, wanted);
  FUZZ_ASSERT(!(member.has_value() != (wanted <= raw.size())), "a member decode succeeds exactly when the raw decode is long enough");
  FUZZ_ASSERT(!(member && !std::equal(member->begin(), member->end(), raw.begin())), "a member decode is a prefix of the raw decode");
  return 0;
}
