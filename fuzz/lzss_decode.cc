// Arbitrary bytes through member decoding (the wanted size taken from the first four bytes)
// and raw decoding. Property: member decoding gives exactly the size asked or reports that
// the stream ended; raw decoding gives at most 144/17 of the input plus 18 bytes; both agree
// with the plain reference decoder.
#include <cstdint>

#include "lzss/decoder.h"
#include "support/lzss_buffers.h"
#include "fuzz_assert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qbkit;
  if (size < 4) return 0;
  const size_t wanted = load_u32le(data) % (1u << 20);
  const ByteSpan stream(data + 4, size - 4);

  std::optional<Bytes> member = test::decompress_member(stream, wanted);
  Bytes reference = lzss::decompress_reference(stream, wanted);
  if (member) {
    FUZZ_ASSERT(!(member->size() != wanted || *member != reference), "a member decode gives its size and agrees with the reference");
  } else {
    FUZZ_ASSERT(reference.size() < wanted, "a stream the reference decodes to the size decodes as a member");
  }

  Bytes raw = lzss::decompress_raw(stream);
  FUZZ_ASSERT(raw.size() <= stream.size() * 144 / 17 + 18, "a raw decode grows at most as a stream can");
  FUZZ_ASSERT(raw == lzss::decompress_reference(stream, SIZE_MAX), "the raw decode agrees with the reference");
  return 0;
}
