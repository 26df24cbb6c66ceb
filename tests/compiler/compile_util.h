// Helpers for compiler tests: compile a text in memory, with included files from a map, and
// look at the bytes, the progress output or the failure.
#pragma once

#include <map>
#include <sstream>
#include <string>

#include "common/error.h"
#include "compiler/compiler.h"

namespace qbkit::test {

struct CompileRun {
  bool ok = false;
  Bytes bytes;      // the QB bytes, or the bytes produced before the failure
  int status = 0;   // exit status of the failure
  std::string message;
  std::string out;  // progress lines
};

inline CompileRun compile_with(const std::string& text, const std::map<std::string, std::string>& files = {},
                               bool thug1 = false) {
  CompileRun run;
  Settings settings;
  settings.thug1 = thug1;
  SourceLoader loader = [&files](const std::string& name) -> std::optional<LoadedSource> {
    auto it = files.find(name);
    if (it == files.end()) return std::nullopt;
    return LoadedSource{Bytes(it->second.begin(), it->second.end()), name};
  };
  std::ostringstream out;
  try {
    run.bytes = compile_text(Bytes(text.begin(), text.end()), "main", settings, loader, out, &run.bytes);
    run.ok = true;
  } catch (const Error& e) {
    run.status = e.status();
    run.message = e.message();
  }
  run.out = out.str();
  return run;
}

// The bytes of a successful compile without the final end token (no names declared).
inline Bytes body(const CompileRun& run) {
  Bytes b = run.bytes;
  if (!b.empty()) b.pop_back();
  return b;
}

}  // namespace qbkit::test
