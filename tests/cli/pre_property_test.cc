// Property: every file added to an archive comes back byte for byte from extraction, for many
// generated files of sizes from 0 to 300 KB, text-like and random, in nested directories.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "cli/cli_util.h"

namespace qbkit::test {
namespace {

std::string generated_file(std::mt19937& rng, size_t size, bool text_like) {
  static const char* const kWords[] = {"function ", "endfunction", "$PauseMenu$", " = ", "%i(1,1)", ":i ",
                                       "if ", "endif", "%s(5,\"hello\")", "Birdhouse", "\n", "\t"};
  std::string s;
  s.reserve(size);
  while (s.size() < size) {
    if (text_like)
      s += kWords[rng() % std::size(kWords)];
    else
      s.push_back(static_cast<char>(rng()));
  }
  s.resize(size);
  return s;
}

TEST(PreProperty, EveryAddedFileComesBackFromExtraction) {
  TempDir dir;
  std::mt19937 rng(4242);
  std::vector<size_t> sizes = {0, 1, 7, 8, 9, 17, 18, 19, 4095, 4096, 4097, 300 * 1024};
  while (sizes.size() < 36) sizes.push_back(rng() % (300 * 1024 + 1));

  ASSERT_EQ(run_qbkit({"-p", "new", "all.prd"}, dir.path()).status, 0);
  std::map<std::string, std::string> files;
  for (size_t i = 0; i < sizes.size(); ++i) {
    const std::string name = "gen/d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".qb";
    const std::string content = generated_file(rng, sizes[i], i % 2 == 0);
    dir.write(name, content);
    // Every other file stored, the rest compressed.
    RunResult r = run_qbkit({"-p", i % 4 == 3 ? "addx" : "add", "all.prd", name, "0x0"}, dir.path());
    ASSERT_EQ(r.status, 0) << name << "\n" << r.out;
    files[name] = content;
  }
  std::filesystem::remove_all(dir / "gen");

  RunResult x = run_qbkit({"-p", "x", "all.prd"}, dir.path());
  ASSERT_EQ(x.status, 0) << x.out;
  for (const auto& [name, content] : files) {
    ASSERT_TRUE(dir.exists(name)) << name;
    EXPECT_TRUE(dir.read(name) == content) << name << " differs";
  }
}

}  // namespace
}  // namespace qbkit::test
