// Arbitrary bytes as script text, in both layouts, compiled and checked. Property: the
// compiler's fast paths (the name index, the float reader in integers, the vector scans) give
// the bytes, the failure and the diagnostics of its plain paths. And the bytes up to the first
// ')' read as a float field, where they form one, give the library's value.
#include <cstdint>
#include <sstream>
#include <string>

#include "common/bytes.h"
#include "common/error.h"
#include "compiler/compiler.h"
#include "fuzz_assert.h"
#include "qb/float_text.h"

namespace {

using namespace qbkit;

struct Rendered : DiagnosticSink {
  std::string text;
  void report(const Diagnostic& d) override { text += render(d); }
};

// The compile's bytes (or those before its failure), its failure and its diagnostics.
std::string outcome(const uint8_t* data, size_t size, bool thug1, bool check, bool plain) {
  static const std::string kTable =
      "#addx 0x00000001 \"a\"\n#addx 0x00000002 \"Birdhouse Team\"\n#addx 0x00000003 \"a_name_of_more_than_24_bytes\"\n";
  const SourceLoader loader = [](const std::string& name, const std::string&) -> LoadedSource {
    if (name.empty()) return {{}, {}, "no such file"};
    return {Bytes(kTable.begin(), kTable.end()), name, {}};
  };
  CompileOptions options;
  options.settings.thug1 = thug1;
  options.check = check;
  options.plain = plain;
  Rendered diagnostics;
  std::ostringstream progress;
  Bytes bytes;
  std::string failure;
  try {
    bytes = compile_text({Bytes(data, data + size), "main", "main"}, options, loader, diagnostics, &progress, &bytes);
  } catch (const Error& e) {
    failure = std::to_string(e.status()) + e.message();
  }
  return std::string(bytes.begin(), bytes.end()) + '\0' + failure + '\0' + diagnostics.text + progress.str();
}

// The float field at the start of `text` (an optional '-', digits, '.', digits), or 0.
size_t float_field(const std::string& text) {
  size_t p = !text.empty() && text[0] == '-' ? 1 : 0;
  while (p < text.size() && text[p] >= '0' && text[p] <= '9') ++p;
  if (p >= text.size() || text[p] != '.') return 0;
  for (++p; p < text.size() && text[p] >= '0' && text[p] <= '9';) ++p;
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (int mode = 0; mode < 4; ++mode) {
    const bool thug1 = (mode & 1) != 0;
    const bool check = (mode & 2) != 0;
    FUZZ_ASSERT(outcome(data, size, thug1, check, false) == outcome(data, size, thug1, check, true),
                "the fast paths give what the plain ones give");
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (const size_t field = float_field(text)) {
    FUZZ_ASSERT(float_to_bits(qb::read_float_field(text.c_str(), field)) == float_to_bits(qb::read_float_text(text.c_str())),
                "the float field reads as the library reads it");
  }
  return 0;
}
