// Arbitrary bytes as script text. Includes resolve to one in-memory table file.
// Properties, in both layouts:
// - compiling ends with QB bytes that close with the end token, or with the error type
//   carrying one of the statuses the tool uses, a message and an error diagnostic;
// - checking the text (as --check does) never ends with an error and agrees with the compile:
//   where the compile fails, the check reports an error on the same line; where it succeeds,
//   each error of the check is a warning of the compile, at the same place with the same code
//   (unless the check saw an open string or a name that holds a line feed, after which the
//   two read the text differently).
#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "common/error.h"
#include "compiler/compiler.h"
#include "fuzz_assert.h"

namespace {

using namespace qbkit;

struct Kept : DiagnosticSink {
  std::vector<Diagnostic> all;
  void report(const Diagnostic& d) override { all.push_back(d); }
};

bool same_place(const Diagnostic& a, const Diagnostic& b) {
  return a.file == b.file && a.line == b.line && a.column == b.column && a.code == b.code;
}

void check_agrees(bool compiled, const Kept& compile, const Kept& check) {
  const auto error = [](const Diagnostic& d) { return d.severity == Severity::kError; };
  // After a name with a line feed the check reads the next line again, where the compile went
  // on after the name's closing quote: past it, they read different text.
  const bool open_string = std::any_of(check.all.begin(), check.all.end(),
                                       [](const Diagnostic& d) { return d.code == code::kUnclosedString; });
  if (open_string) return;
  if (!compiled) {
    const auto failure = std::find_if(compile.all.begin(), compile.all.end(), error);
    FUZZ_ASSERT(failure != compile.all.end(), "a failure has its diagnostic");
    FUZZ_ASSERT(std::any_of(check.all.begin(), check.all.end(),
                            [&](const Diagnostic& d) {
                              return error(d) && d.file == failure->file && d.line == failure->line;
                            }),
                "the check reports the failure of the compile on its line");
    return;
  }
  for (const Diagnostic& d : check.all) {
    if (!error(d)) continue;
    FUZZ_ASSERT(std::any_of(compile.all.begin(), compile.all.end(),
                            [&](const Diagnostic& w) { return same_place(w, d); }),
                "an error of the check is a warning of the compile");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string kTable =
      "#addx 0x00000001 \"a\"\n#addx 0x00000002 \"Birdhouse Team\"\n#addx 0x00000001 \"b\"\n";
  const SourceLoader loader = [](const std::string& name, const std::string&) -> LoadedSource {
    if (name.empty()) return {{}, {}, "no such file"};
    return {Bytes(kTable.begin(), kTable.end()), name, {}};
  };
  for (int layout = 0; layout < 2; ++layout) {
    CompileOptions options;
    options.settings.thug1 = layout == 1;
    std::ostringstream out;
    Bytes partial;
    Kept compile;
    bool compiled = false;
    try {
      Bytes qb = compile_text({Bytes(data, data + size), "main", "main"}, options, loader, compile, &out, &partial);
      FUZZ_ASSERT(!qb.empty() && qb.back() == 0, "a compiled file ends with the end token");
      compiled = true;
    } catch (const Error& e) {
      const int s = e.status();
      FUZZ_ASSERT(s == 1 || s == 2 || s == 5 || s == 6, "a failure has one of the documented statuses");
      FUZZ_ASSERT(!e.message().empty(), "a failure has a message");
    }
    options.check = true;
    Kept check;
    try {
      compile_text({Bytes(data, data + size), "main", "main"}, options, loader, check);
    } catch (const Error&) {
      FUZZ_ASSERT(false, "a check never fails");
    }
    check_agrees(compiled, compile, check);
  }
  return 0;
}
