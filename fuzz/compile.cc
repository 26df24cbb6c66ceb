// Arbitrary bytes as script text. Includes resolve to one in-memory table file.
// Property: compiling ends with QB bytes that close with the end token, or with the error
// type carrying one of the statuses the tool uses.
#include <cstdint>
#include <sstream>
#include <string>

#include "common/error.h"
#include "compiler/compiler.h"
#include "fuzz_assert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qbkit;
  static const std::string kTable =
      "#addx 0x00000001 \"a\"\n#addx 0x00000002 \"Birdhouse Team\"\n#addx 0x00000001 \"b\"\n";
  const SourceLoader loader = [](const std::string& name) -> std::optional<LoadedSource> {
    if (name.empty()) return std::nullopt;  // a missing file
    return LoadedSource{Bytes(kTable.begin(), kTable.end()), name};
  };
  for (int layout = 0; layout < 2; ++layout) {
    Settings settings;
    settings.thug1 = layout == 1;
    std::ostringstream out;
    Bytes partial;
    try {
      Bytes qb = compile_text(Bytes(data, data + size), "main", settings, loader, out, &partial);
      FUZZ_ASSERT(!qb.empty() && qb.back() == 0, "a compiled file ends with the end token");
    } catch (const Error& e) {
      const int s = e.status();
      FUZZ_ASSERT(s == 1 || s == 2 || s == 5 || s == 6, "a failure has one of the documented statuses");
      FUZZ_ASSERT(!e.message().empty(), "a failure has a message");
    }
  }
  return 0;
}
