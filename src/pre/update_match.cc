#include "pre/update_match.h"

#include <algorithm>
#include <unordered_map>

#include "pre/member_names.h"

namespace qbkit::pre {

UpdateMatch match_update(std::span<const std::string_view> members, std::span<const std::string> files) {
  UpdateMatch match;
  match.source.assign(members.size(), UpdateMatch::kKept);
  match.updates.assign(files.size(), false);
  // The files by key, each key's files in order: the last one gives an entry its data.
  std::unordered_map<std::string, std::vector<size_t>> by_key;
  for (size_t k = 0; k < files.size(); ++k) by_key[member_key(files[k])].push_back(k);
  for (size_t e = 0; e < members.size(); ++e) {
    const auto it = by_key.find(member_key(members[e]));
    if (it == by_key.end()) continue;
    match.source[e] = it->second.back();
    for (size_t k : it->second) match.updates[k] = true;
  }
  // A key that no member has: its first file adds the entry, the later ones update it.
  for (const auto& [key, ks] : by_key) {
    if (match.updates[ks.front()]) continue;
    match.appended.push_back({ks.front(), ks.back()});
    for (size_t i = 1; i < ks.size(); ++i) match.updates[ks[i]] = true;
  }
  std::sort(match.appended.begin(), match.appended.end(),
            [](const UpdateMatch::NewEntry& a, const UpdateMatch::NewEntry& b) { return a.name < b.name; });
  return match;
}

}  // namespace qbkit::pre
