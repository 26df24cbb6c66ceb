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
};

Trip decompile_and_compile(const Bytes& stream, bool thug1) {
  Settings settings;
  settings.thug1 = thug1;
  Decompiled d = decompile(stream, "gen.qb", settings);
  const std::string table = test::render_table_file(d.names);
  SourceLoader loader = [&](const std::string& name) -> std::optional<LoadedSource> {
    if (name != "gen.qb_table.qbi") return std::nullopt;
    return LoadedSource{Bytes(table.begin(), table.end()), name};
  };
  std::ostringstream progress;
  Bytes text(d.text.begin(), d.text.end());
  return {d.text, compile_text(std::move(text), "gen.txt", settings, loader, progress)};
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
// either direction works on data the other direction produced.
TEST(RoundTripProperty, ScriptShapedStream) {
  const Bytes stream = test::generate_profile_stream(256 << 10, 7);
  ASSERT_GE(stream.size(), 256u << 10);
  const Trip trip = decompile_and_compile(stream, false);
  EXPECT_TRUE(trip.compiled == stream);
}

}  // namespace
}  // namespace qbkit
