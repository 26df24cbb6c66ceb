// Arbitrary bytes drive a generator of valid token streams (every token kind, nested blocks,
// forward jumps, names, floats, strings; both layouts). Property: decompiling a stream and
// compiling its text gives back exactly the stream.
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/error.h"
#include "compiler/compiler.h"
#include "decompiler/decompiler.h"
#include "support/name_table_text.h"
#include "support/stream_generator.h"
#include "fuzz_assert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qbkit;
  if (size == 0) return 0;
  Settings settings;
  settings.thug1 = data[0] & 1;
  const Bytes stream = test::generate_stream(ByteSpan(data + 1, size - 1), settings.thug1);
  Decompiled d = decompile(stream, "r.qb", settings);
  const std::string table = test::render_table_file(d.names);
  const SourceLoader loader = [&](const std::string& name, const std::string&) -> LoadedSource {
    if (name != "r.qb_table.qbi") return {{}, {}, "no such file"};
    return {Bytes(table.begin(), table.end()), name, {}};
  };
  struct Ignored : DiagnosticSink {
    void report(const Diagnostic&) override {}
  } ignored;
  try {
    Bytes back = compile_text({Bytes(d.text.begin(), d.text.end()), "r.txt", "r.txt"}, {settings, false}, loader,
                              ignored);
    if (back != stream) std::fprintf(stderr, "%s\n", d.text.c_str());
    FUZZ_ASSERT(back == stream, "the decompiled text compiles back to the same stream");
  } catch (const Error& e) {
    std::fprintf(stderr, "%s\n%s\n", e.message().c_str(), d.text.c_str());
    FUZZ_ASSERT(false, "the decompiled text compiles");
  }
  return 0;
}
