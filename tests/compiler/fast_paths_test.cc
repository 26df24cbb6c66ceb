// The compiler's fast paths against its plain ones (CompileOptions::plain: names looked up by a
// scan of the table, floats read by the library, the text scanned a byte at a time): the same
// QB bytes, failure and diagnostics, compiled and checked, on decompiled script-shaped streams
// of both layouts, on those texts with bytes changed at random, and on texts made to reach each
// piece of the fast paths.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "common/error.h"
#include "compiler/compiler.h"
#include "decompiler/decompiler.h"
#include "support/name_table_text.h"
#include "support/profile_stream.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace qbkit {
namespace {

// What a compile gave: its bytes (or those before the failure), the failure, the diagnostics.
std::string outcome(const std::string& text, const std::string& table, bool thug1, bool check, bool plain) {
  const SourceLoader loader = [&table](const std::string& name, const std::string&) -> LoadedSource {
    if (name != "t.qbi") return {{}, {}, "no such file"};
    return {Bytes(table.begin(), table.end()), name, {}};
  };
  struct Rendered : DiagnosticSink {
    std::string text;
    void report(const Diagnostic& d) override { text += render(d); }
  } diagnostics;
  CompileOptions options;
  options.settings.thug1 = thug1;
  options.check = check;
  options.plain = plain;
  std::ostringstream progress;
  Bytes bytes;
  std::string failure;
  try {
    bytes = compile_text({Bytes(text.begin(), text.end()), "m.txt", "m.txt"}, options, loader, diagnostics, &progress,
                         &bytes);
  } catch (const Error& e) {
    failure = std::to_string(e.status()) + " " + e.message();
  }
  return std::string(bytes.begin(), bytes.end()) + '\0' + failure + '\0' + diagnostics.text + progress.str();
}

void expect_same(const std::string& text, const std::string& table, bool thug1, const std::string& label) {
  for (const bool check : {false, true}) {
    ASSERT_TRUE(outcome(text, table, thug1, check, false) == outcome(text, table, thug1, check, true))
        << label << (check ? ", checked" : ", compiled") << ":\n" << text.substr(0, 300);
  }
}

struct Script {
  std::string text;
  std::string table;
};

Script decompiled(size_t size, uint32_t seed, test::Switches switches, bool thug1) {
  Settings settings;
  settings.thug1 = thug1;
  const Decompiled d = decompile(test::generate_profile_stream(size, seed, switches), "t", settings);
  std::string text = d.text;
  const size_t include = text.find("t_table.qbi");
  if (include != std::string::npos) text.replace(include, 11, "t.qbi");
  return {text, test::render_table_file(d.names)};
}

TEST(CompilerFastPaths, DecompiledScriptsAndChangedCopiesOfBothLayouts) {
  const struct {
    test::Switches switches;
    bool thug1;
  } layouts[] = {{test::Switches::kStandard, false}, {test::Switches::kThug1, true}, {test::Switches::kNone, false}};
  std::mt19937 rng(30);
  const std::string pokes = "$$$\"%:(),.-0123456789eE xX_aZ\n\t#/{}";
  for (const auto& layout : layouts) {
    const Script whole = decompiled(150 << 10, rng(), layout.switches, layout.thug1);
    expect_same(whole.text, whole.table, layout.thug1, "whole");
    const Script small = decompiled(6 << 10, rng(), layout.switches, layout.thug1);
    for (int i = 0; i < 40; ++i) {
      std::string text = small.text;
      for (int k = 1 + static_cast<int>(rng() % 3); k > 0; --k) {
        const char c = rng() % 8 == 0 ? '\0' : pokes[rng() % pokes.size()];
        text[rng() % text.size()] = c;
      }
      expect_same(text, small.table, layout.thug1, "changed copy " + std::to_string(i));
    }
  }
}

// Names of every length about the key's 24 bytes, alike in their first 16 or 24 bytes or in
// their last 8, found as declared, with blanks, in another case, or not at all; names cut off
// by the end of the text; and floats on both sides of the integer path's limits.
TEST(CompilerFastPaths, NamesAndFloatsAtTheEdges) {
  std::string table;
  std::vector<std::string> names;
  for (size_t n = 0; n <= 40; ++n) {
    std::string b = "b";
    names.push_back(std::string(n, 'a'));
    names.push_back(std::string(n > 0 ? n - 1 : 0, 'a') + (n > 0 ? "b" : ""));
    names.push_back(b.append(n, 'a'));
    names.push_back("Name With " + std::to_string(n));
  }
  for (size_t i = 0; i < names.size(); ++i) table += "#addx 0x" + std::to_string(10000000 + i) + " \"" + names[i] + "\"\n";
  std::string text = "%include \"t.qbi\"\n";
  for (const std::string& n : names) text += ":i $" + n + "$ = $ " + n + " $ $" + n + "x$$A" + n + "$\n";
  expect_same(text, table, false, "names");
  for (const std::string end : {"$aaaa", "$aaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "$", "$aaaa\n$"}) {
    expect_same(text + ":i " + end, table, false, "at the end: " + end);
  }
  const char* floats[] = {"1.5",     "-0.000000",   "0.",       ".5",          "-.5",          ".",
                          "-.",      "16777217.0",  "8388609.5", "0.1",         "3.4028235e38", "1.5e3",
                          "2.E-2",   "1.e",         "-1.5e+x",  "999999999999999.5", "9999999999999999.5",
                          "123456789012345.0", "1.0000000000000000000001", "0.0000000000000000000000001",
                          "340282356779733661637539395458142568448.0", "1", "x"};
  for (const char* f : floats) {
    for (const std::string& form : {"%f(" + std::string(f) + ")", "%vec3(1.0," + std::string(f) + ",2.0)"}) {
      expect_same(":i " + form + "\n", "", false, form);
    }
  }
}

// A text mapped from its file and cut short by another program while it is compiled: the
// compile fails and says why, and the check reports it; neither ends on a signal.
TEST(CompilerFastPaths, ATextCutShortWhileMappedFailsTheCompile) {
#if !defined(_WIN32)
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("qbkit-cut-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "big.txt").string();
  std::string text;
  while (text.size() < (size_t{2} << 20)) text += ":i %i(1,00000001) %f(1.500000) %s(3,\"abc\")\n";
  for (const bool check : {false, true}) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    LoadedSource loaded = load_from_disk(path, {});
    fs::resize_file(path, size_t{1} << 20);
    struct Rendered : DiagnosticSink {
      std::string text;
      void report(const Diagnostic& d) override { text += render(d); }
    } diagnostics;
    CompileOptions options;
    options.check = check;
    std::string failure;
    try {
      compile_text({std::move(loaded.text), path, path}, options, load_from_disk, diagnostics);
    } catch (const Error& e) {
      failure = e.message();
    }
    EXPECT_EQ(failure, check ? "" : "File '" + path + "' changed while it was compiled\n");
    EXPECT_NE(diagnostics.text.find("the file changed while it was compiled"), std::string::npos) << diagnostics.text;
  }
  fs::remove_all(dir);
#endif
}

}  // namespace
}  // namespace qbkit
