#include "common/edit_distance.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace qbkit {

// Lowrance and Wagner's algorithm: the distance table gets a border row and column of a value
// larger than any distance, and `last_row` remembers, for each byte, the last row of `a` that
// held it, so that a swap across edited bytes is priced as the edits plus one.
int edit_distance(std::string_view a, std::string_view b, int limit) {
  const size_t m = a.size();
  const size_t n = b.size();
  if ((m > n ? m - n : n - m) > static_cast<size_t>(limit)) return limit + 1;
  const size_t width = n + 2;
  std::vector<size_t> d((m + 2) * width);
  auto cell = [&](size_t i, size_t j) -> size_t& { return d[i * width + j]; };
  const size_t far = m + n;
  cell(0, 0) = far;
  for (size_t i = 0; i <= m; ++i) {
    cell(i + 1, 0) = far;
    cell(i + 1, 1) = i;
  }
  for (size_t j = 0; j <= n; ++j) {
    cell(0, j + 1) = far;
    cell(1, j + 1) = j;
  }
  std::array<size_t, 256> last_row{};
  for (size_t i = 1; i <= m; ++i) {
    size_t last_match_column = 0;
    for (size_t j = 1; j <= n; ++j) {
      const size_t i1 = last_row[static_cast<unsigned char>(b[j - 1])];
      const size_t j1 = last_match_column;
      const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      if (cost == 0) last_match_column = j;
      cell(i + 1, j + 1) = std::min({cell(i, j) + cost, cell(i + 1, j) + 1, cell(i, j + 1) + 1,
                                     cell(i1, j1) + (i - i1 - 1) + 1 + (j - j1 - 1)});
    }
    last_row[static_cast<unsigned char>(a[i - 1])] = i;
  }
  return static_cast<int>(std::min(cell(m + 1, n + 1), static_cast<size_t>(limit) + 1));
}

}  // namespace qbkit
