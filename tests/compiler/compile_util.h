// Helpers for compiler tests: compile a text in memory, with included files from a map, and
// look at the bytes, the progress output, the failure or the diagnostics. Every compile is
// also run as --check runs it, and the two must agree: where the compile fails, the check
// reports an error on the same line; where it succeeds, every error of the check is a warning
// of the compile, at the same place and with the same code.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/error.h"
#include "compiler/compiler.h"

namespace qbkit::test {

struct Collected : DiagnosticSink {
  std::vector<Diagnostic> all;
  void report(const Diagnostic& d) override { all.push_back(d); }
  // Each as one rendered line (notes on lines of their own).
  std::string text() const {
    std::string s;
    for (const Diagnostic& d : all) s += render(d);
    return s;
  }
};

struct CompileRun {
  bool ok = false;
  Bytes bytes;      // the QB bytes, or the bytes produced before the failure
  int status = 0;   // exit status of the failure
  std::string message;
  std::string out;  // progress lines
  Collected diagnostics;
};

inline SourceLoader loader_of(const std::map<std::string, std::string>& files) {
  return [&files](const std::string& name, const std::string&) -> LoadedSource {
    auto it = files.find(name);
    if (it == files.end()) return {{}, {}, "no such file"};
    return {Bytes(it->second.begin(), it->second.end()), name, {}};
  };
}

inline Collected check_loading(const std::string& text, const SourceLoader& loader, bool thug1 = false) {
  Collected check;
  CompileOptions options;
  options.settings.thug1 = thug1;
  options.check = true;
  EXPECT_NO_THROW(compile_text({Bytes(text.begin(), text.end()), "main", "main"}, options, loader, check));
  return check;
}

inline Collected check_with(const std::string& text, const std::map<std::string, std::string>& files = {},
                            bool thug1 = false) {
  return check_loading(text, loader_of(files), thug1);
}

inline bool same_place(const Diagnostic& a, const Diagnostic& b) {
  return a.file == b.file && a.line == b.line && a.column == b.column && a.code == b.code;
}

// The agreement of a compile and a check of the same text. After an open string or a name
// that holds a line feed, the check goes on where the compile does not (the line after the
// quote), and a name that the failed "#addx" line would have declared is unknown to the check
// alone: such a text is held to the agreement up to that place only.
inline void expect_check_agrees(const CompileRun& run, const Collected& check, const std::string& label) {
  const std::vector<Diagnostic>& c = run.diagnostics.all;
  const auto error = [](const Diagnostic& d) { return d.severity == Severity::kError; };
  const auto open = std::find_if(check.all.begin(), check.all.end(),
                                 [](const Diagnostic& d) { return d.code == code::kUnclosedString; });
  if (open != check.all.end()) {
    EXPECT_TRUE(!run.ok || std::any_of(c.begin(), c.end(), [&](const Diagnostic& w) { return same_place(w, *open); }))
        << label << ": the compile misses " << render(*open);
    return;
  }
  if (!run.ok) {
    const auto failure = std::find_if(c.begin(), c.end(), error);
    ASSERT_NE(failure, c.end()) << label << ": a failure without its diagnostic";
    EXPECT_TRUE(std::any_of(check.all.begin(), check.all.end(), [&](const Diagnostic& d) {
      return error(d) && d.file == failure->file && d.line == failure->line;
    })) << label << ": the check misses the failure\n" << run.diagnostics.text() << "check:\n" << check.text();
    return;
  }
  for (const Diagnostic& d : check.all) {
    if (!error(d)) continue;
    EXPECT_TRUE(std::any_of(c.begin(), c.end(), [&](const Diagnostic& w) { return same_place(w, d); }))
        << label << ": an error of the check that is no warning of the compile: " << render(d);
  }
}

inline CompileRun compile_loading(const std::string& text, const SourceLoader& loader, bool thug1 = false) {
  CompileRun run;
  CompileOptions options;
  options.settings.thug1 = thug1;
  std::ostringstream out;
  try {
    run.bytes = compile_text({Bytes(text.begin(), text.end()), "main", "main"}, options, loader, run.diagnostics,
                             &out, &run.bytes);
    run.ok = true;
  } catch (const Error& e) {
    run.status = e.status();
    run.message = e.message();
  }
  run.out = out.str();
  expect_check_agrees(run, check_loading(text, loader, thug1), text.substr(0, 200));
  return run;
}

inline CompileRun compile_with(const std::string& text, const std::map<std::string, std::string>& files = {},
                               bool thug1 = false) {
  return compile_loading(text, loader_of(files), thug1);
}

// The bytes of a successful compile without the final end token (no names declared).
inline Bytes body(const CompileRun& run) {
  Bytes b = run.bytes;
  if (!b.empty()) b.pop_back();
  return b;
}

}  // namespace qbkit::test
