#include "compiler/suggest.h"

#include <algorithm>
#include <vector>

#include "common/edit_distance.h"
#include "common/format.h"
#include "common/name_checksum.h"

namespace qbkit::compiler {
namespace {

constexpr int kMaxEdits = 2;
constexpr size_t kMaxSuggestions = 3;
// Longer names are not compared: the table of distances grows with the square of the length.
constexpr size_t kLongestCompared = 128;

}  // namespace

std::string did_you_mean(const qb::NameTable& names, std::string_view typed) {
  if (typed.size() > kLongestCompared) return {};
  const std::string target = folded_name(typed);
  struct Candidate {
    int distance;
    std::string_view name;
  };
  std::vector<Candidate> near;
  for (const qb::NameEntry entry : names.entries()) {
    if (entry.name.size() + kMaxEdits < target.size() || entry.name.size() > target.size() + kMaxEdits) continue;
    const int d = edit_distance(target, folded_name(entry.name), kMaxEdits);
    if (d > kMaxEdits) continue;
    const bool seen = std::any_of(near.begin(), near.end(), [&](const Candidate& c) { return c.name == entry.name; });
    if (!seen) near.push_back({d, entry.name});
  }
  std::stable_sort(near.begin(), near.end(), [](const Candidate& a, const Candidate& b) { return a.distance < b.distance; });
  if (near.size() > kMaxSuggestions) near.resize(kMaxSuggestions);
  std::string list;
  for (size_t i = 0; i < near.size(); ++i) {
    if (i > 0) list += i + 1 == near.size() ? " or " : ", ";
    list.append("'").append(show_control_bytes(near[i].name)).append("'");
  }
  return list;
}

}  // namespace qbkit::compiler
