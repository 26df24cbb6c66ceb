// The scan in two walks against the scan in one: the same starts, names, jumps, markers and
// end, or the same error, wherever the middle of the stream falls (inside an operand, a
// string, a name record, past the end token) and however the second walk stops.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "common/error.h"
#include "decompiler/stream_scan.h"
#include "qb/tokens.h"
#include "support/profile_stream.h"
#include "support/stream_generator.h"

namespace qbkit {
namespace {

using decompiler::StreamScan;
using decompiler::TokenStarts;

// The scan's findings as one text, or its error.
std::string scanned(ByteSpan data, bool thug1, bool plain) {
  const decompiler::TokenSizes sizes(thug1);
  try {
    const StreamScan s = decompiler::scan_stream(data, sizes, nullptr, plain);
    std::ostringstream out;
    out << s.end << (s.unknown ? " unknown" : "") << (s.end_token ? " end" : "") << " names " << s.names << " "
        << s.names_begin << "-" << s.names_end << "\nstarts";
    TokenStarts::Cursor cursor(s.starts, 0);
    for (size_t pos = cursor.take(); pos != TokenStarts::kNone; pos = cursor.take()) out << " " << pos;
    out << "\njumps";
    for (const uint32_t j : s.jump_indices) out << " " << j;
    out << "\nmarkers";
    for (const auto& m : s.markers) out << " " << m.position << ":" << m.index;
    return out.str();
  } catch (const Error& e) {
    return "error " + e.message();
  }
}

void expect_same_scan(ByteSpan data, bool thug1, const std::string& what) {
  ASSERT_EQ(scanned(data, thug1, false), scanned(data, thug1, true)) << what;
}

TEST(StreamScan, TwoWalksFindWhatOneFinds) {
  for (const bool thug1 : {false, true}) {
    expect_same_scan(test::generate_profile_stream(200 << 10, 3, thug1 ? test::Switches::kThug1 : test::Switches::kStandard),
                     thug1, "profile");
  }
  std::mt19937 rng(11);
  for (int i = 0; i < 300; ++i) {
    Bytes choices(256 + rng() % 4096);
    for (uint8_t& b : choices) b = static_cast<uint8_t>(rng());
    const Bytes stream = test::generate_stream(choices, i % 2 == 1);
    expect_same_scan(stream, i % 2 == 1, "generated " + std::to_string(i));
    // Cut anywhere, and with bytes after its end token, so that the walks end or stop anywhere.
    Bytes cut(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(rng() % stream.size()));
    for (int junk = static_cast<int>(rng() % 300); junk > 0; --junk) cut.push_back(static_cast<uint8_t>(rng() % 0x50));
    expect_same_scan(cut, i % 2 == 1, "cut " + std::to_string(i));
    Bytes tail = stream;
    for (int junk = static_cast<int>(rng() % 3000); junk > 0; --junk) tail.push_back(static_cast<uint8_t>(rng()));
    expect_same_scan(tail, i % 2 == 1, "tail " + std::to_string(i));
  }
  for (int i = 0; i < 2000; ++i) {
    Bytes data(256 + rng() % 2000);
    for (uint8_t& b : data) b = static_cast<uint8_t>(rng() % 0x50);
    expect_same_scan(data, i % 2 == 1, "random " + std::to_string(i));
  }
}

// The first walk crosses the middle inside a name's operand, off the second walk's path, and
// stops there at a byte that is no token: no start lies there, nor after it.
TEST(StreamScan, AFirstWalkEndingOffTheSecondsPath) {
  Bytes data(512, qb::kLineBreak);
  ASSERT_EQ(qb::token_info(0xFF), nullptr);
  data[254] = qb::kName;  // the first walk: 254, then 259
  data[256] = qb::kName;  // the second walk: 256, then 261 and on
  data[259] = 0xFF;
  data.back() = qb::kEnd;
  expect_same_scan(data, false, "stopped off the path");
}

}  // namespace
}  // namespace qbkit
