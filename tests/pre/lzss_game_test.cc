// The game matcher against streams the game's own compressor wrote (tests/pre/game_vectors:
// NAME.in and the game's NAME.lz), and round trips through the member decoder.
#include "pre/lzss_game.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "common/file_io.h"
#include "pre/lzss.h"
#include "pre/script_like_data.h"

namespace qbkit::pre {
namespace {

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

}  // namespace
}  // namespace qbkit::pre
