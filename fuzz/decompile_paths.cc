// Arbitrary bytes as a QB stream, in both layouts and with the debug counter. Property: the
// printer's fast paths (one room check per group of tokens, the exact float text, the print
// on two threads in chunks, small ones that overflow their buffers) give the text and the
// table of its plain path byte for byte, or fail with the same error; and every four bytes,
// read as a float, give the text of the reference conversion.
#include <cstdint>
#include <string>

#include "common/bytes.h"
#include "common/error.h"
#include "decompiler/decompiler.h"
#include "fuzz_assert.h"
#include "qb/float_text.h"

namespace {

using namespace qbkit;

// The decompile's text and table, or its error's message after a marker no text holds.
std::string outcome(ByteSpan stream, const Settings& settings, const DecompileOptions& options) {
  try {
    const Decompiled d = decompile(stream, "f.qb", settings, options);
    return d.text + '\0' + d.table;
  } catch (const Error& e) {
    return std::string("\0error\0", 7) + e.message();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ByteSpan stream(data, size);
  for (int mode = 0; mode < 3; ++mode) {
    Settings settings;
    settings.thug1 = mode == 1;
    settings.debug = mode == 2;
    DecompileOptions plain;
    plain.plain = true;
    const std::string expected = outcome(stream, settings, plain);
    FUZZ_ASSERT(outcome(stream, settings, {}) == expected, "one thread gives the plain path's text");
    DecompileOptions chunked;
    chunked.threads = 2;
    chunked.chunk_bytes = 1 + size % 61;
    FUZZ_ASSERT(outcome(stream, settings, chunked) == expected, "two threads give the plain path's text");
  }
  for (size_t i = 0; i + 4 <= size; i += 4) {
    char fast[qb::kFloatTextCapacity], reference[qb::kFloatTextCapacity];
    const float value = bits_to_float(load_u32le(data + i));
    FUZZ_ASSERT(qb::format_float(value, fast) == qb::format_float_reference(value, reference),
                "the exact float text is the reference's");
  }
  return 0;
}
