#include "common/file_io.h"
#include "common/mapped_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
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

std::string read_back(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Sizes on both sides of the heap, small-page and huge-page cases.
TEST(FileIo, PagedReadGivesTheWholeFile) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("qbkit-paged-" + std::to_string(getpid()));
  fs::create_directories(dir);
  for (size_t size : {size_t{0}, size_t{1}, size_t{70000}, (size_t{3} << 20) + 17}) {
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>(i * 7 + i / 4096);
    std::ofstream(dir / "f", std::ios::binary | std::ios::trunc) << text;
    const std::optional<PageBuffer> data = read_file_paged((dir / "f").string(), 32);
    ASSERT_TRUE(data) << size;
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(data->data()), data->size()) == text) << size;
    ASSERT_GE(data->capacity(), size + 32);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data->data()) + size, 32), std::string(32, '\0')) << size;
  }
  EXPECT_FALSE(read_file_paged((dir / "missing").string()));
  EXPECT_FALSE(read_file_paged(dir.string()));
#if defined(__linux__)
  // A file whose size is not known ahead (reported as 0) is read whole all the same.
  const std::optional<PageBuffer> version = read_file_paged("/proc/version");
  ASSERT_TRUE(version);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(version->data()), version->size()), read_back("/proc/version"));
#endif
  fs::remove_all(dir);
}

// A mapped file is its bytes and zeros after them, also when it fills its last page; cut
// short by another program while mapped, it reads as zeros from its new end on (up to the part
// of a page that it was read into), says that it changed, and the process goes on.
TEST(FileIo, MappedFileCutShortReadsAsZeros) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("qbkit-mapped-" + std::to_string(getpid()));
  fs::create_directories(dir);
  for (size_t size : {size_t{2} << 20, (size_t{3} << 20) + 100}) {
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i % 26);
    std::ofstream(dir / "f", std::ios::binary | std::ios::trunc) << text;
    std::optional<MappedFile> mapped = MappedFile::map((dir / "f").string(), 32);
#if defined(_WIN32)
    EXPECT_FALSE(mapped);  // Windows reads its inputs
    continue;
#endif
    ASSERT_TRUE(mapped);
    const ByteSpan bytes = mapped->bytes();
    ASSERT_TRUE(std::string(bytes.begin(), bytes.end()) == text) << size;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()) + size, 32), std::string(32, '\0'));
    EXPECT_FALSE(mapped->changed());
    const size_t cut = (size_t{1} << 20) + 10;
    fs::resize_file(dir / "f", cut);
    // Up to the last whole page: the rest of the file was read into the mapping's own page.
    size_t nonzero_after_cut = 0;
    for (size_t i = cut; i < size / 65536 * 65536; ++i) nonzero_after_cut += bytes[i] != 0;
    EXPECT_EQ(nonzero_after_cut, 0u);
    EXPECT_TRUE(std::memcmp(bytes.data(), text.data(), cut) == 0);
    EXPECT_TRUE(mapped->changed());
  }
  fs::remove_all(dir);
}

TEST(FileIo, PendingFileTakesItsPlaceOnlyWhenCommitted) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("qbkit-pending-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string target = (dir / "t").string();
  std::ofstream(target, std::ios::binary) << "old";
  const auto piece = [](const char* s) { return ByteSpan(reinterpret_cast<const uint8_t*>(s), std::strlen(s)); };
  {
    std::optional<PendingFile> given_up = PendingFile::create(target);
    ASSERT_TRUE(given_up);
    const ByteSpan one[] = {piece("never")};
    EXPECT_TRUE(given_up->append(one));
  }
  EXPECT_EQ(read_back(target), "old");
  std::optional<PendingFile> file = PendingFile::create(target);
  ASSERT_TRUE(file);
  const ByteSpan first[] = {piece("ab"), piece("")};
  const ByteSpan second[] = {piece("cd")};
  EXPECT_TRUE(file->append(first));
  EXPECT_TRUE(file->append(second));
  EXPECT_EQ(read_back(target), "old");
  EXPECT_TRUE(file->commit());
  EXPECT_EQ(read_back(target), "abcd");
  // No temporary is left behind, committed or not.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace qbkit
