// The printer's fast paths against its plain path: one room check per group of tokens with
// fixed-width copies, the exact float text, and the print on two threads in chunks (small
// chunks overflow their buffers, so their ends are printed by the writing thread). Every way
// gives the same text and table file, byte for byte, on generated streams of both layouts,
// on streams made to reach every piece of the fast paths, and on random bytes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/error.h"
#include "decompiler/decompiler.h"
#include "support/profile_stream.h"
#include "support/qb_stream.h"
#include "support/stream_generator.h"

namespace qbkit {
namespace {

using namespace qb;

std::vector<DecompileOptions> fast_ways() {
  std::vector<DecompileOptions> ways(4);
  for (size_t i = 1; i < ways.size(); ++i) ways[i].threads = 2;
  ways[2].chunk_bytes = 4096;
  ways[3].chunk_bytes = 16;  // a slot of 64 bytes: nearly every chunk is finished by the writer
  return ways;
}

// Where two texts part, with what follows there in each.
std::string first_difference(const std::string& a, const std::string& b) {
  size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
  const size_t from = at < 40 ? 0 : at - 40;
  return "at byte " + std::to_string(at) + ":\n" + a.substr(from, 80) + "\n---\n" + b.substr(from, 80);
}

// The decompile of `data` in every fast way is the plain one, or fails with the same error.
void expect_same(ByteSpan data, const Settings& settings, const std::string& what) {
  DecompileOptions plain;
  plain.plain = true;
  std::string error;
  Decompiled expected;
  try {
    expected = decompile(data, "d.qb", settings, plain);
  } catch (const Error& e) {
    error = e.message();
  }
  for (const DecompileOptions& way : fast_ways()) {
    const std::string label = what + ", threads " + std::to_string(way.threads) + ", chunks of " +
                              std::to_string(way.chunk_bytes);
    try {
      const Decompiled got = decompile(data, "d.qb", settings, way);
      ASSERT_TRUE(error.empty()) << label << ": no error, plain path: " << error;
      ASSERT_TRUE(got.text == expected.text) << label << ": texts differ " << first_difference(got.text, expected.text);
      ASSERT_TRUE(got.table == expected.table) << label << ": tables differ";
    } catch (const Error& e) {
      ASSERT_EQ(e.message(), error) << label;
    }
  }
}

const Settings kStandard{false, false};
const Settings kThug1{true, false};
const Settings kDebug{false, true};

TEST(FastPaths, ScriptShapedStreamsOfBothLayouts) {
  expect_same(test::generate_profile_stream(600 << 10, 5, test::Switches::kStandard), kStandard, "standard");
  expect_same(test::generate_profile_stream(300 << 10, 6, test::Switches::kThug1), kThug1, "THUG1");
  expect_same(test::generate_profile_stream(300 << 10, 7), kDebug, "debug");
}

// Jumps and selects with their markers, every kind of token, in both layouts.
TEST(FastPaths, GeneratedStreams) {
  std::mt19937 rng(31);
  for (int i = 0; i < 60; ++i) {
    Bytes choices(256 + rng() % 4096);
    for (uint8_t& b : choices) b = static_cast<uint8_t>(rng());
    const bool thug1 = i % 2 == 1;
    expect_same(test::generate_stream(choices, thug1), thug1 ? kThug1 : kDebug, "stream " + std::to_string(i));
  }
}

// The pieces that the fast path writes at a fixed width or on a rare branch: names of every
// length up to past the fixed copy, names without a record, tabs past the fixed run, floats
// that need more decimals or the library, strings and names longer than the buffers.
TEST(FastPaths, LongPiecesAndDeepNesting) {
  std::mt19937 rng(5);
  test::QbStream s;
  for (uint32_t length = 0; length < 80; ++length) s.name_record(length, std::string(length, 'a' + length % 26));
  for (int depth = 0; depth < 300; ++depth) {
    s.op(kStructOpen).op(kLineBreak).op32(kName, rng() % 100).op32(kName, rng() % 90);
    s.op(kEquals).op32(kFloat, static_cast<uint32_t>(rng())).op(kLineBreak).op(kLineBreak);
  }
  s.string(kString, std::string(3 << 20, 's')).name_record(7, std::string(2 << 20, 'n')).op32(kName, 7);
  for (int depth = 0; depth < 300; ++depth) s.op(kLineBreak).op(kStructClose);
  s.op(kEnd);
  expect_same(s, kStandard, "long pieces");
}

TEST(FastPaths, RandomBytes) {
  std::mt19937 rng(77);
  for (int i = 0; i < 3000; ++i) {
    Bytes data(rng() % 200);
    for (uint8_t& b : data) b = static_cast<uint8_t>(rng() % 0x50);
    expect_same(data, i % 3 == 0 ? kThug1 : i % 3 == 1 ? kDebug : kStandard, "random " + std::to_string(i));
  }
}

// A sink that fails in the middle of a print on two threads: the failure reaches the caller,
// once, with both threads stopped, and the text before it went out whole and in order.
TEST(FastPaths, AFailingSinkStopsBothThreads) {
  struct Failing final : decompiler::TextSink {
    std::string text;
    void write(std::string_view piece) override {
      if (text.size() > (200 << 10)) throw Error(kExitFailure, "full");
      text.append(piece);
    }
  };
  const Bytes data = test::generate_profile_stream(400 << 10, 9);
  DecompileOptions two;
  two.threads = 2;
  two.chunk_bytes = 8 << 10;
  Failing sink;
  EXPECT_THROW(decompile_to(data, "d.qb", kStandard, sink, nullptr, two), Error);
  const std::string whole = decompile(data, "d.qb", kStandard).text;
  EXPECT_TRUE(whole.starts_with(sink.text));
}

}  // namespace
}  // namespace qbkit
