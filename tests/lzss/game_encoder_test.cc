// The game matcher against streams the game's own compressor wrote (tests/lzss/game_vectors:
// NAME.in and the game's NAME.lz), against its one-insert-at-a-time reference, and round
// trips through the member decoder.
#include "lzss/game_encoder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "common/file_io.h"
#include "lzss/decoder.h"
#include "lzss/plain_encoder.h"
#include "support/lzss_buffers.h"
#include "support/script_like_data.h"

namespace qbkit::lzss {
namespace {

using test::compress_game;
using test::decompress_member;

namespace fs = std::filesystem;

fs::path vector_folder() { return fs::path(__FILE__).parent_path() / "game_vectors"; }

Bytes read_vector(const fs::path& path) {
  std::optional<Bytes> bytes = read_file(path.string());
  if (!bytes) ADD_FAILURE() << "cannot read " << path;
  return bytes.value_or(Bytes{});
}

TEST(LzssGame, WritesTheGamesStreamForEveryVector) {
  size_t vectors = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(vector_folder())) {
    if (entry.path().extension() != ".in") continue;
    ++vectors;
    fs::path stream_path = entry.path();
    stream_path.replace_extension(".lz");
    const Bytes in = read_vector(entry.path());
    const Bytes stream = read_vector(stream_path);
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(compress_game(in), stream);
    EXPECT_EQ(compress_game_reference(in), stream);
    std::optional<Bytes> back = decompress_member(stream, in.size());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, in);
  }
  EXPECT_EQ(vectors, 69u);
}

// Inputs around the ring's sizes, whose matches reach into the initial spaces and the stale
// bytes past the end of the input, must still decode to themselves.
TEST(LzssGame, RoundTripsAroundTheRingSizes) {
  std::mt19937 rng(14);
  for (size_t size : {1u, 2u, 3u, 17u, 18u, 19u, 4077u, 4078u, 4096u, 4114u, 8192u, 12301u}) {
    Bytes text(size), spaces(size), runs(size);
    for (size_t i = 0; i < size; ++i) {
      text[i] = static_cast<uint8_t>("ab \n"[rng() % 4]);
      spaces[i] = rng() % 8 == 0 ? static_cast<uint8_t>(rng()) : ' ';
      runs[i] = static_cast<uint8_t>((i / 50) % 3);
    }
    for (const Bytes* in : {&text, &spaces, &runs}) {
      std::optional<Bytes> back = decompress_member(compress_game(*in), size);
      ASSERT_TRUE(back.has_value()) << size;
      EXPECT_EQ(*back, *in) << size;
    }
  }
  Bytes script = test::script_like_data(50000, 3);
  EXPECT_EQ(*decompress_member(compress_game(script), script.size()), script);
  EXPECT_TRUE(compress_game({}).empty());
}

// compress_game runs two inserts side by side when they touch different trees, and writes
// items a block of 4096 steps at a time. Inputs where neighbouring bytes often share a tree
// (runs, two-letter text), where the position a step removes shares the tree of the insert
// beside it (periods near the ring's size), and sizes around the blocks.
TEST(LzssGame, WritesTheReferenceStream) {
  std::mt19937 rng(15);
  std::vector<Bytes> inputs;
  for (size_t size : {4095u, 4096u, 4097u, 8191u, 8193u, 12288u}) {
    Bytes two_letters(size), runs(size), period(size);
    for (size_t i = 0; i < size; ++i) {
      two_letters[i] = static_cast<uint8_t>("ab"[rng() % 2]);
      runs[i] = static_cast<uint8_t>((i / (1 + i % 7)) % 4);
      period[i] = static_cast<uint8_t>((i % 4095) * 7 % 251);
    }
    inputs.insert(inputs.end(), {two_letters, runs, period});
  }
  for (uint32_t seed = 0; seed < 4; ++seed) inputs.push_back(test::script_like_data(3000 + 9000 * seed, seed));
  // Positions 18 and 19 share a tree, and 19 agrees in all 18 bytes with position 0, which 18
  // passes and would hang below: side by side, 19 would replace 0 before 18 is linked to it.
  // The last bytes match position 18 only if it was linked.
  const std::string letters = "abcdefghijklmnopqr";
  const std::string hang = letters + "a" + letters + "a" + letters;
  inputs.emplace_back(hang.begin(), hang.end());
  for (const Bytes& in : inputs) EXPECT_EQ(compress_game(in), compress_game_reference(in)) << in.size() << " bytes";
}

}  // namespace
}  // namespace qbkit::lzss
