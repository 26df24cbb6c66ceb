#include "commands/text_diff.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "common/format.h"

namespace qbkit::commands {
namespace {

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

using Ids = std::span<const uint32_t>;

// The lines of two texts as numbers, one per distinct key, and which of them the shortest
// edit from the old to the new text deletes and inserts.
class LineDiff {
 public:
  LineDiff(Ids a, Ids b) : a_(a), b_(b), deleted_(a.size()), inserted_(b.size()) {
    const size_t most = (a.size() + b.size() + 1) / 2;
    forward_.resize(2 * most + 2);
    backward_.resize(2 * most + 2);
    compare(0, a.size(), 0, b.size());
  }
  bool deleted(size_t i) const { return deleted_[i]; }
  bool inserted(size_t j) const { return inserted_[j]; }

 private:
  // Lines [a0, a1) against [b0, b1): what both start and end with is equal; the rest is split
  // where a shortest edit passes and each half compared on its own.
  void compare(size_t a0, size_t a1, size_t b0, size_t b1) {
    while (a0 < a1 && b0 < b1 && a_[a0] == b_[b0]) ++a0, ++b0;
    while (a0 < a1 && b0 < b1 && a_[a1 - 1] == b_[b1 - 1]) --a1, --b1;
    if (a0 == a1 || b0 == b1) {
      std::fill(deleted_.begin() + static_cast<std::ptrdiff_t>(a0), deleted_.begin() + static_cast<std::ptrdiff_t>(a1), true);
      std::fill(inserted_.begin() + static_cast<std::ptrdiff_t>(b0), inserted_.begin() + static_cast<std::ptrdiff_t>(b1), true);
      return;
    }
    const auto [x, y] = middle(a0, a1, b0, b1);
    if ((x == a0 && y == b0) || (x == a1 && y == b1)) {  // no split: never expected, but never endless
      compare(a0, a1, b1, b1);
      compare(a1, a1, b0, b1);
      return;
    }
    compare(a0, x, b0, y);
    compare(x, a1, y, b1);
  }

  struct Point {
    size_t x;
    size_t y;
  };

  // A point that a shortest edit of [a0, a1) into [b0, b1) passes through, found by walking
  // the diagonals k = x - y from both ends at once until the two walks overlap. The ranges
  // neither start nor end with equal lines, so the point splits them into smaller ones; when
  // no point is found, the end of the old lines and the start of the new ones: all of one is
  // deleted and all of the other inserted.
  Point middle(size_t a0, size_t a1, size_t b0, size_t b1) {
    const auto n = static_cast<int64_t>(a1 - a0);
    const auto m = static_cast<int64_t>(b1 - b0);
    const int64_t delta = n - m;
    const bool odd = (delta & 1) != 0;
    const int64_t most = (n + m + 1) / 2;  // the walks meet within this many steps
    const int64_t size = 2 * most + 2;
    std::fill(forward_.begin(), forward_.begin() + size, -1);
    std::fill(backward_.begin(), backward_.begin() + size, -1);
    forward_[most + 1] = 0;
    backward_[most + 1] = 0;
    auto line_a = [&](int64_t x) { return a_[a0 + static_cast<size_t>(x)]; };
    auto line_b = [&](int64_t y) { return b_[b0 + static_cast<size_t>(y)]; };
    int64_t f_low = 0, f_high = 0, b_low = 0, b_high = 0;  // diagonals that left the grid
    for (int64_t d = 0; d < most; ++d) {
      for (int64_t k = -d + f_low; k <= d - f_high; k += 2) {
        int64_t x = furthest(forward_, most + k, k == -d, k == d);
        int64_t y = x - k;
        while (x < n && y < m && line_a(x) == line_b(y)) ++x, ++y;
        forward_[most + k] = x;
        if (x > n) {
          f_high += 2;
        } else if (y > m) {
          f_low += 2;
        } else if (odd) {
          const int64_t other = most + delta - k;
          if (other >= 0 && other < size && backward_[other] != -1 && x >= n - backward_[other])
            return {a0 + static_cast<size_t>(x), b0 + static_cast<size_t>(y)};
        }
      }
      for (int64_t k = -d + b_low; k <= d - b_high; k += 2) {
        int64_t x = furthest(backward_, most + k, k == -d, k == d);
        int64_t y = x - k;
        while (x < n && y < m && line_a(n - x - 1) == line_b(m - y - 1)) ++x, ++y;
        backward_[most + k] = x;
        if (x > n) {
          b_high += 2;
        } else if (y > m) {
          b_low += 2;
        } else if (!odd) {
          const int64_t other = most + delta - k;
          if (other >= 0 && other < size && forward_[other] != -1 && forward_[other] >= n - x) {
            const int64_t fx = forward_[other];
            return {a0 + static_cast<size_t>(fx), b0 + static_cast<size_t>(fx - (other - most))};
          }
        }
      }
    }
    return {a1, b0};
  }

  // The furthest x on diagonal `at` that one more step reaches: down from the diagonal above,
  // or right from the one below, whichever went further.
  static int64_t furthest(const std::vector<int64_t>& v, int64_t at, bool lowest, bool highest) {
    const auto i = static_cast<size_t>(at);
    return lowest || (!highest && v[i - 1] < v[i + 1]) ? v[i + 1] : v[i - 1] + 1;
  }

  Ids a_;
  Ids b_;
  std::vector<bool> deleted_;
  std::vector<bool> inserted_;
  std::vector<int64_t> forward_;   // by diagonal k = x - y (plus an offset): the furthest x from the start
  std::vector<int64_t> backward_;  // the same from the end, x and y counted backwards
};

// A range of a hunk header: its first line and count ("3,4"), the count left out when 1 and the
// line before the range given when it is empty, as unified diffs write them.
std::string range(size_t first, size_t count) {
  using Wide = unsigned long long;
  if (count == 1) return format("%llu", static_cast<Wide>(first + 1));
  return format("%llu,%llu", static_cast<Wide>(count == 0 ? first : first + 1), static_cast<Wide>(count));
}

// One step of the edit: a line of the old text ('-'), of the new one ('+'), or of both (' ').
struct Step {
  char mark;
  size_t i;  // the old text's line at this step (or the next one)
  size_t j;  // the new text's
};

// The hunks of the edit: the changed steps, each group with up to `context` unchanged steps
// around it; groups closer than twice that make one hunk.
std::string hunks(const std::vector<Step>& steps, const std::vector<std::string_view>& a,
                  const std::vector<std::string_view>& b, int context) {
  const auto around = static_cast<size_t>(context);
  std::string out;
  size_t k = 0;
  while (k < steps.size()) {
    while (k < steps.size() && steps[k].mark == ' ') ++k;
    if (k == steps.size()) break;
    const size_t first = k >= around ? k - around : 0;
    size_t last = k;  // the last changed step of the hunk
    for (size_t next = k; next < steps.size() && next <= last + 2 * around + 1; ++next)
      if (steps[next].mark != ' ') last = next;
    const size_t end = std::min(steps.size(), last + around + 1);
    size_t old_count = 0;
    size_t new_count = 0;
    for (size_t s = first; s < end; ++s) {
      old_count += steps[s].mark != '+';
      new_count += steps[s].mark != '-';
    }
    out += "@@ -" + range(steps[first].i, old_count) + " +" + range(steps[first].j, new_count) + " @@\n";
    for (size_t s = first; s < end; ++s) {
      out += steps[s].mark;
      out += steps[s].mark == '+' ? b[steps[s].j] : a[steps[s].i];
      out += '\n';
    }
    k = end;
  }
  return out;
}

}  // namespace

std::string unified_diff(std::string_view old_text, std::string_view new_text, int context, LineKey key) {
  const std::vector<std::string_view> a = split_lines(old_text);
  const std::vector<std::string_view> b = split_lines(new_text);
  std::unordered_map<std::string_view, uint32_t> numbers;
  auto number = [&](std::string_view line) { return numbers.try_emplace(key(line), numbers.size()).first->second; };
  std::vector<uint32_t> ai;
  std::vector<uint32_t> bi;
  for (std::string_view line : a) ai.push_back(number(line));
  for (std::string_view line : b) bi.push_back(number(line));
  const LineDiff diff(ai, bi);

  // The edit as one walk, deleted lines before the inserted ones that replace them.
  std::vector<Step> steps;
  for (size_t i = 0, j = 0; i < a.size() || j < b.size();) {
    if (i < a.size() && diff.deleted(i))
      steps.push_back({'-', i++, j});
    else if (j < b.size() && diff.inserted(j))
      steps.push_back({'+', i, j++});
    else
      steps.push_back({' ', i++, j++});
  }
  return hunks(steps, a, b, context);
}

}  // namespace qbkit::commands
