#include "common/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace qbkit {
namespace {

TEST(FileIo, ReadWholeWithRoomForTheTerminator) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("qbkit-source-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string text(100000, 'x');
  std::ofstream(dir / "a.q", std::ios::binary) << text << "\n";

  const std::optional<Bytes> data = read_file((dir / "a.q").string(), 1);
  ASSERT_TRUE(data);
  EXPECT_EQ(std::string(data->begin(), data->end()), text + "\n");
  // The lexer's zero byte then fits without copying the text.
  EXPECT_GT(data->capacity(), data->size());

  EXPECT_FALSE(read_file((dir / "missing").string(), 1));
  EXPECT_TRUE(is_regular_file((dir / "a.q").string()));
  EXPECT_FALSE(is_regular_file(dir.string()));
  EXPECT_FALSE(is_regular_file((dir / "missing").string()));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace qbkit
