#include <gtest/gtest.h>

#include <random>

#include "lzss/decoder.h"
#include "lzss/plain_encoder.h"
#include "support/lzss_buffers.h"

namespace qbkit::lzss {
namespace {

using test::decompress_member;

Bytes repeat(uint8_t byte, size_t count) { return Bytes(count, byte); }

Bytes concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Both compressors must write exactly `expected` for `input`.
void expect_stream(const Bytes& input, const Bytes& expected) {
  EXPECT_EQ(compress_plain_reference(input), expected);
  EXPECT_EQ(compress_plain(input), expected);
}

TEST(LzssCompress, ShortInputsFillTheFirstGroup) {
  Bytes eight = {1, 2, 3, 4, 5, 6, 7, 8};
  expect_stream(eight, concat({0xFF}, eight));
  expect_stream(concat(eight, {9}), concat(concat({0xFF}, eight), {0xFF, 9}));
  // Shorter inputs keep the 9-byte first group, padded with zero bytes.
  expect_stream({}, concat({0xFF}, repeat(0, 8)));
  expect_stream({7, 7, 7}, {0xFF, 7, 7, 7, 0, 0, 0, 0, 0});
  EXPECT_EQ(*decompress_member(compress_plain(Bytes{7, 7, 7}), 3), (Bytes{7, 7, 7}));
}

TEST(LzssCompress, WorkedMatches) {
  // Twenty 'A': one reference to index 0 of length 12, stopped by the end of the input.
  expect_stream(repeat(0x41, 20), concat(concat({0xFF}, repeat(0x41, 8)), {0xFE, 0xEE, 0xF9}));
  // Eighteen 'A' and a 'B': the best match has length 10 and no later candidate lies 10 bytes
  // back, so the literal 'B' follows in the same group.
  expect_stream(concat(repeat(0x41, 18), {0x42}),
                concat(concat({0xFF}, repeat(0x41, 8)), {0xFE, 0xEE, 0xF7, 0x42}));
}

TEST(LzssCompress, TieBreaks) {
  // "abcX" ... "abcY" ... "abcZ" then "abc" at the end: all candidates match 3 bytes, the
  // newest wins.
  std::string text = "12345678abcXabcYabcZabc";
  Bytes in(text.begin(), text.end());
  Bytes out = compress_plain_reference(in);
  EXPECT_EQ(compress_plain(in), out);
  // The final item is a reference to index 16 ("abcZ") of length 3.
  size_t p = (16 - 18) & 0xFFF;
  ASSERT_GE(out.size(), 2u);
  EXPECT_EQ(out[out.size() - 2], p & 0xFF);
  EXPECT_EQ(out[out.size() - 1], ((p >> 8) << 4) | 0);
  EXPECT_EQ(*decompress_member(out, in.size()), in);
}

// Bytes in which no three consecutive bytes occur twice.
Bytes distinct_triples(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<bool> seen(1 << 24);
  Bytes out = {0, 1};
  while (out.size() < size) {
    for (;;) {
      uint8_t c = static_cast<uint8_t>(rng());
      uint32_t key = (out[out.size() - 2] << 16) | (out.back() << 8) | c;
      if (seen[key]) continue;
      seen[key] = true;
      out.push_back(c);
      break;
    }
  }
  return out;
}

TEST(LzssCodec, ReferenceFromFarBack) {
  // From position 4100 the only match is at index 10: window position 4088.
  Bytes in = distinct_triples(4100, 5);
  in.insert(in.end(), in.begin() + 10, in.begin() + 13);
  Bytes out = compress_plain_reference(in);
  EXPECT_EQ(compress_plain(in), out);
  Bytes tail(out.end() - 7, out.end());
  EXPECT_EQ(tail, (Bytes{0xEF, in[4096], in[4097], in[4098], in[4099], 0xF8, 0xF0}));
  EXPECT_EQ(*decompress_member(out, in.size()), in);
  EXPECT_EQ(decompress_raw(out), in);
}

TEST(LzssDecode, ReferencesBeforeTheStartReadSpaces) {
  EXPECT_EQ(*decompress_member(Bytes{0xFE, 0xED, 0xF0}, 3), Bytes(3, 0x20));
  EXPECT_EQ(decompress_raw(Bytes{0xFE, 0xED, 0xF0}), Bytes(3, 0x20));
  // "ab" then a reference reaching 4 back with length 6: two spaces, "ab", two spaces...
  // n = 2, distance 4: p = (2 - 4 - 18) mod 4096.
  size_t p = (2 - 4 - 18) & 0xFFF;
  Bytes stream = {0xFB, 'a', 'b', static_cast<uint8_t>(p & 0xFF),
                  static_cast<uint8_t>(((p >> 8) << 4) | 3)};
  Bytes expected = {'a', 'b', ' ', ' ', 'a', 'b', ' ', ' '};
  EXPECT_EQ(*decompress_member(stream, 8), expected);
  EXPECT_EQ(decompress_raw(stream), expected);
  EXPECT_EQ(decompress_reference(stream, 8), expected);
}

TEST(LzssDecode, StopsAtTheSizeAndAtTheEndOfTheStream) {
  Bytes stream = compress_plain_reference(repeat(0x41, 20));
  EXPECT_EQ(*decompress_member(stream, 15), repeat(0x41, 15));
  EXPECT_EQ(decompress_raw(stream), repeat(0x41, 20));  // unused flag bits give nothing
  // A stream that ends early cannot give the size, even by one byte.
  EXPECT_FALSE(decompress_member(stream, 21).has_value());
  Bytes cut(stream.begin(), stream.end() - 1);  // half a reference
  EXPECT_FALSE(decompress_member(cut, 20).has_value());
  EXPECT_EQ(decompress_raw(cut), repeat(0x41, 8));
  EXPECT_FALSE(decompress_member({}, 1).has_value());
  EXPECT_EQ(*decompress_member({}, 0), Bytes{});
}

TEST(LzssCodec, RoundTripsAndDecodersAgree) {
  std::mt19937 rng(42);
  const size_t sizes[] = {0, 1, 7, 8, 9, 15, 16, 17, 100, 4095, 4096, 4097, 10000, 70000};
  for (size_t size : sizes) {
    for (int kind = 0; kind < 3; ++kind) {
      Bytes in(size);
      for (size_t i = 0; i < size; ++i) {
        if (kind == 0) in[i] = static_cast<uint8_t>(rng());
        if (kind == 1) in[i] = static_cast<uint8_t>("ab c"[rng() % 4]);
        if (kind == 2) in[i] = static_cast<uint8_t>((i / 37) % 5 == 0 ? rng() : i % 13);
      }
      Bytes stream = compress_plain(in);
      SCOPED_TRACE(testing::Message() << "size " << size << " kind " << kind);
      EXPECT_EQ(*decompress_member(stream, size), in);
      EXPECT_EQ(decompress_reference(stream, size), in);
      Bytes raw = decompress_raw(stream);
      // Raw decoding also keeps the zero bytes of a short first group.
      ASSERT_GE(raw.size(), size);
      EXPECT_EQ(Bytes(raw.begin(), raw.begin() + static_cast<long>(size)), in);
      if (size >= 8) {
        EXPECT_EQ(raw.size(), size);
      }
    }
  }
}

TEST(LzssDecode, FastDecoderMatchesTheReferenceOnArbitraryStreams) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    Bytes stream(rng() % 600);
    for (uint8_t& b : stream) b = static_cast<uint8_t>(rng() % 3 == 0 ? 0 : rng());
    Bytes raw = decompress_raw(stream);
    EXPECT_EQ(raw, decompress_reference(stream, SIZE_MAX));
    size_t size = rng() % (raw.size() + 20);
    std::optional<Bytes> member = decompress_member(stream, size);
    if (size <= raw.size()) {
      ASSERT_TRUE(member.has_value());
      EXPECT_EQ(*member, Bytes(raw.begin(), raw.begin() + static_cast<long>(size)));
    } else {
      EXPECT_FALSE(member.has_value());
    }
  }
}

// Long streams of references that reach 1 to 20 bytes back (the copies that overlap what
// they produce), anywhere in the window, or before the start; decoded past the first 4096
// bytes, through every growth of a raw decode's buffer, and cut at every kind of item.
TEST(LzssDecode, LongStreamsWithNearAndFarReferences) {
  std::mt19937 rng(11);
  for (int round = 0; round < 40; ++round) {
    Bytes stream;
    size_t n = 0;  // output so far, to aim the references
    const size_t groups = 200 + rng() % 2000;
    for (size_t g = 0; g < groups; ++g) {
      const uint8_t flags = static_cast<uint8_t>(round % 4 == 0 ? rng() & rng() : rng());
      stream.push_back(flags);
      for (int k = 0; k < 8; ++k) {
        if (flags & (1u << k)) {
          stream.push_back(static_cast<uint8_t>(rng()));
          ++n;
          continue;
        }
        const size_t length = 3 + rng() % 16;
        const size_t distance = rng() % 2 ? 1 + rng() % 20 : 1 + rng() % 4096;
        const size_t p = (n - distance - 18) & 0xFFF;
        stream.push_back(static_cast<uint8_t>(p));
        stream.push_back(static_cast<uint8_t>(((p >> 8) << 4) | (length - 3)));
        n += length;
      }
    }
    stream.resize(stream.size() - rng() % 3);
    SCOPED_TRACE(testing::Message() << "round " << round);
    const Bytes expected = decompress_reference(stream, SIZE_MAX);
    ASSERT_EQ(decompress_raw(stream), expected);
    const size_t size = expected.size() - rng() % 40;
    ASSERT_EQ(*decompress_member(stream, size), Bytes(expected.begin(), expected.begin() + static_cast<long>(size)));
    EXPECT_FALSE(decompress_member(stream, expected.size() + 1).has_value());
  }
}

}  // namespace
}  // namespace qbkit::lzss
