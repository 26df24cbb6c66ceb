// Property: for thousands of generated streams, in both layouts, decompiling and compiling the
// text back gives the same bytes; and the decompiled text of the result is the same text.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "common/error.h"
#include "compiler/compiler.h"
#include "decompiler/decompiler.h"
#include "support/name_table_text.h"
#include "support/profile_stream.h"
#include "support/stream_generator.h"

namespace qbkit {
namespace {

struct Trip {
  std::string text;
  Bytes compiled;
  std::string diagnostics;
};

Trip decompile_and_compile(const Bytes& stream, bool thug1) {
  Settings settings;
  settings.thug1 = thug1;
  Decompiled d = decompile(stream, "gen.qb", settings);
  const std::string table = test::render_table_file(d.names);
  SourceLoader loader = [&](const std::string& name, const std::string&) -> LoadedSource {
    if (name != "gen.qb_table.qbi") return {{}, {}, "no such file"};
    return {Bytes(table.begin(), table.end()), name, {}};
  };
  struct Kept : DiagnosticSink {
    std::string text;
    void report(const Diagnostic& d) override { text += render(d); }
  } diagnostics;
  Bytes text(d.text.begin(), d.text.end());
  Bytes compiled = compile_text({std::move(text), "gen.txt", "gen.txt"}, {settings, false}, loader, diagnostics);
  return {d.text, std::move(compiled), diagnostics.text};
}

void check_many(bool thug1, uint32_t seed, int count) {
  std::mt19937 rng(seed);
  for (int i = 0; i < count; ++i) {
    Bytes choices(64 + rng() % 2048);
    for (uint8_t& b : choices) b = static_cast<uint8_t>(rng());
    const Bytes stream = test::generate_stream(choices, thug1);
    Trip first;
    try {
      first = decompile_and_compile(stream, thug1);
    } catch (const Error& e) {
      FAIL() << "stream " << i << " did not compile back: " << e.message();
    }
    ASSERT_EQ(first.compiled, stream) << "stream " << i << "\n" << first.text;
    // The other direction: the text that came out reads back to the same text.
    Trip second = decompile_and_compile(first.compiled, thug1);
    ASSERT_EQ(second.text, first.text) << "stream " << i;
  }
}

TEST(RoundTripProperty, GeneratedStreamsStandardLayout) { check_many(false, 1234, 1500); }
TEST(RoundTripProperty, GeneratedStreamsThug1Layout) { check_many(true, 98765, 1500); }

// The script-shaped stream of the benchmarks compiles back to itself, so a benchmark of
// either direction works on data the other direction produced; like the game's own scripts,
// its text draws no diagnostic, in either layout.
TEST(RoundTripProperty, ScriptShapedStream) {
  const Bytes stream = test::generate_profile_stream(256 << 10, 7);
  ASSERT_GE(stream.size(), 256u << 10);
  const Trip trip = decompile_and_compile(stream, false);
  EXPECT_TRUE(trip.compiled == stream);
  EXPECT_EQ(trip.diagnostics, "");
  for (const bool thug1 : {false, true}) {
    const Bytes with_switches =
        test::generate_profile_stream(64 << 10, 8, thug1 ? test::Switches::kThug1 : test::Switches::kStandard);
    const Trip t = decompile_and_compile(with_switches, thug1);
    EXPECT_TRUE(t.compiled == with_switches);
    EXPECT_EQ(t.diagnostics, "") << thug1;
  }
}

}  // namespace
}  // namespace qbkit
