// Arbitrary bytes as a QB stream, in both layouts, with and without the debug counter.
// Property: decompiling ends with the whole text (header, include line, footer) or with the
// error type, raised only to refuse a stream of the other layout: an endcase token in the
// THUG1 layout, a case or default without its endcase token in the standard layout.
#include <cstdint>
#include <string>

#include "common/error.h"
#include "decompiler/decompiler.h"
#include "fuzz_assert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qbkit;
  const ByteSpan stream(data, size);
  for (int mode = 0; mode < 3; ++mode) {
    Settings settings;
    settings.thug1 = mode == 1;
    settings.debug = mode == 2;
    try {
      Decompiled d = decompile(stream, "f.qb", settings);
      const std::string head = "#/ QB Script version 2\n%include \"f.qb_table.qbi\"   #/ Table file\n";
      const std::string tail = "\n\n#/ END\n";
      FUZZ_ASSERT(d.text.compare(0, head.size(), head) == 0, "the text starts with the header and the include line");
      FUZZ_ASSERT(!(d.text.size() < head.size() + tail.size() || d.text.compare(d.text.size() - tail.size(), tail.size(), tail) != 0), "the text ends with the footer");
    } catch (const Error& e) {
      const std::string& m = e.message();
      const bool layout_refusal = settings.thug1 ? m.starts_with("GOTO stuff not implemented")
                                                 : m.starts_with("Case without an endcase token at ");
      FUZZ_ASSERT(e.status() == 1 && layout_refusal, "only the refusal of the other layout raises the error");
    }
  }
  return 0;
}
