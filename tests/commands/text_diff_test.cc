#include "commands/text_diff.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace qbkit::commands {
namespace {

std::string_view same(std::string_view line) { return line; }

// The longest common subsequence of the lines, by the textbook table: the yardstick of a
// shortest edit, which deletes and inserts every other line.
size_t common_lines(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  std::vector<std::vector<size_t>> t(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 1; i <= a.size(); ++i)
    for (size_t j = 1; j <= b.size(); ++j)
      t[i][j] = a[i - 1] == b[j - 1] ? t[i - 1][j - 1] + 1 : std::max(t[i - 1][j], t[i][j - 1]);
  return t[a.size()][b.size()];
}

std::string text_of(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// Random texts of few distinct lines, so that much is in common: with all lines as context,
// the diff's ' ' and '-' lines are the old text, its ' ' and '+' lines the new one, and it
// changes no more lines than it must.
TEST(TextDiff, ShortestEditThatRebuildsBothTexts) {
  std::mt19937 rng(5);
  for (int round = 0; round < 400; ++round) {
    std::vector<std::string> a(rng() % 30), b(rng() % 30);
    for (std::string& line : a) line = std::string(1, static_cast<char>('a' + rng() % 4));
    for (std::string& line : b) line = std::string(1, static_cast<char>('a' + rng() % 4));
    const std::string diff = unified_diff(text_of(a), text_of(b), 1000, same);
    if (a == b) {
      EXPECT_EQ(diff, "");
      continue;
    }
    std::string old_text, new_text;
    size_t changed = 0;
    for (size_t at = diff.find('\n') + 1; at < diff.size(); at = diff.find('\n', at) + 1) {
      const std::string line = diff.substr(at + 1, diff.find('\n', at) - at);
      if (diff[at] != '+') old_text += line;
      if (diff[at] != '-') new_text += line;
      changed += diff[at] != ' ';
    }
    ASSERT_EQ(old_text, text_of(a)) << diff;
    ASSERT_EQ(new_text, text_of(b)) << diff;
    ASSERT_EQ(changed, a.size() + b.size() - 2 * common_lines(a, b)) << diff;
  }
}

TEST(TextDiff, HunksWithContext) {
  const std::string a = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n";
  const std::string b = "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n12\n";
  EXPECT_EQ(unified_diff(a, b, 3, same), "@@ -1,3 +1,4 @@\n+0\n 1\n 2\n 3\n@@ -8,5 +9,4 @@\n 8\n 9\n 10\n-11\n 12\n");
  EXPECT_EQ(unified_diff(a, b, 0, same), "@@ -0,0 +1 @@\n+0\n@@ -11 +11,0 @@\n-11\n");
  // Lines whose keys are equal are no change.
  EXPECT_EQ(unified_diff("%a\nx\n", "%b\nx\n", 3, [](std::string_view l) { return l.substr(0, 1); }), "");
}

}  // namespace
}  // namespace qbkit::commands
