// The plain encoder (compress_plain) against its brute-force reference: byte-identical streams.
#include <gtest/gtest.h>

#include <random>

#include "lzss/format.h"
#include "lzss/plain_encoder.h"
#include "support/lzss_buffers.h"
#include "support/script_like_data.h"

namespace qbkit::lzss {
namespace {

using test::decompress_member;

std::string label(const char* what, size_t number) {
  std::string text = what;
  text += std::to_string(number);
  return text;
}

void expect_identical(const Bytes& in, const std::string& what) {
  Bytes reference = compress_plain_reference(in);
  Bytes fast = compress_plain(in);
  ASSERT_EQ(fast, reference) << what << ", " << in.size() << " bytes";
  ASSERT_EQ(*decompress_member(fast, in.size()), in) << what;
}

TEST(LzssIdentical, EveryShortLength) {
  std::mt19937 rng(1);
  for (size_t n = 0; n <= 64; ++n) {
    Bytes random(n), binary(n);
    for (size_t i = 0; i < n; ++i) {
      random[i] = static_cast<uint8_t>(rng());
      binary[i] = static_cast<uint8_t>(rng() % 2);
    }
    expect_identical(random, "random");
    expect_identical(binary, "two symbols");
    expect_identical(Bytes(n, 'x'), "one byte");
  }
}

TEST(LzssIdentical, RandomAndLowEntropyText) {
  std::mt19937 rng(2);
  for (size_t n : {1000u, 5000u, 20000u}) {
    Bytes random(n), text(n), words(n);
    const std::string vocabulary[] = {"the ", "skater ", "jumps ", "over ", "a ", "rail ", "\n"};
    std::string w;
    while (w.size() < n) w += vocabulary[rng() % 7];
    for (size_t i = 0; i < n; ++i) {
      random[i] = static_cast<uint8_t>(rng());
      text[i] = static_cast<uint8_t>('a' + rng() % 4);
      words[i] = static_cast<uint8_t>(w[i]);
    }
    expect_identical(random, "random");
    expect_identical(text, "four letters");
    expect_identical(words, "words");
  }
}

TEST(LzssIdentical, RunsAndPeriodicPatterns) {
  expect_identical(Bytes(10000, 0), "long run");
  Bytes runs;
  for (int r = 0; runs.size() < 20000; ++r) runs.insert(runs.end(), 1 + (r * 7) % 50, static_cast<uint8_t>(r % 3));
  expect_identical(runs, "runs of varying length");
  std::mt19937 rng(3);
  for (size_t period = 1; period <= 40; ++period) {
    Bytes unit(period);
    for (uint8_t& b : unit) b = static_cast<uint8_t>(rng());
    Bytes in;
    while (in.size() < 3000) in.insert(in.end(), unit.begin(), unit.end());
    expect_identical(in, label("period ", period));
    in[1500] ^= 0x55;  // one fault in the pattern
    expect_identical(in, label("faulted period ", period));
  }
}

TEST(LzssIdentical, RepeatsAtTheEdgeOfTheWindow) {
  std::mt19937 rng(4);
  for (size_t distance : {4094u, 4095u, 4096u, 4097u}) {
    Bytes in(distance + 300);
    for (uint8_t& b : in) b = static_cast<uint8_t>(rng());
    // A block copied exactly `distance` bytes back, and a few short echoes.
    std::copy(in.begin() + 100, in.begin() + 300, in.begin() + 100 + static_cast<long>(distance));
    expect_identical(in, label("repeat from back ", distance));
  }
}

// Matches that run into the end of the input, at every distance from it: the last 17 bytes
// are searched with runs cut at the end.
TEST(LzssIdentical, MatchesReachingTheEnd) {
  std::mt19937 rng(5);
  Bytes head(200);
  for (uint8_t& b : head) b = static_cast<uint8_t>(rng());
  for (size_t cut = 0; cut <= 40; ++cut) {
    Bytes in = head;
    in.insert(in.end(), head.begin() + 50, head.begin() + 50 + static_cast<long>(cut));
    expect_identical(in, label("copy at the end, bytes ", cut));
    in.insert(in.end(), 30, 0);
    in.resize(in.size() - cut % 19);
    expect_identical(in, label("run at the end, cut ", cut));
  }
}

// Prefixes that occur once every few thousand bytes: their chains empty as the window moves
// on and fill again, some just before a position leaves the window, some just after. Two
// windows and a bit hold every case; longer inputs are the fuzzer's.
TEST(LzssIdentical, ChainsThatEmptyAndRefill) {
  std::mt19937 rng(6);
  for (size_t gap : {4090u, 4093u, 4094u, 4095u, 4096u, 4099u, 6000u}) {
    Bytes in(2 * kWindowSize + 600);
    for (uint8_t& b : in) b = static_cast<uint8_t>(rng());
    const uint8_t marks[3][5] = {{7, 7, 7, 1, 2}, {9, 8, 7, 6, 5}, {1, 2, 3, 4, 5}};
    for (size_t at = 10, k = 0; at + 5 < in.size(); at += gap + k % 3, ++k)
      std::copy(marks[k % 3], marks[k % 3] + 5, in.begin() + static_cast<long>(at));
    expect_identical(in, label("marks every ", gap));
  }
}

// A prefix met many times with different fourth bytes, far back and close by: searches
// whose longest run is 3 (taken from the newest far candidate unless a close one follows),
// runs of 18 met more than once (the oldest is taken), and candidates 3 to 17 back.
TEST(LzssIdentical, PrefixesSharingThreeBytes) {
  std::mt19937 rng(7);
  for (int round = 0; round < 24; ++round) {
    Bytes in(600 + rng() % 5000);
    for (uint8_t& b : in) b = static_cast<uint8_t>('a' + rng() % 20);
    const uint8_t prefix[3] = {'X', 'Y', 'Z'};
    for (size_t at = rng() % 40; at + 24 < in.size(); at += 4 + rng() % (round % 2 == 0 ? 30 : 400)) {
      std::copy(prefix, prefix + 3, in.begin() + static_cast<long>(at));
      in[at + 3] = static_cast<uint8_t>('0' + rng() % 8);
      if (rng() % 5 == 0) std::fill_n(in.begin() + static_cast<long>(at) + 4, 16, '#');
    }
    expect_identical(in, label("shared prefixes, round ", static_cast<size_t>(round)));
  }
}

// Two and a half windows of script-like data, and small scripts of various sizes.
TEST(LzssIdentical, ScriptLikeData) {
  expect_identical(test::script_like_data(10 * 1024, 5), "script-like");
  for (uint32_t seed = 0; seed < 5; ++seed)
    expect_identical(test::script_like_data(2000 + seed * 997, seed), "small script");
}

}  // namespace
}  // namespace qbkit::lzss
