#include "pre/extract_plan.h"

#include <algorithm>
#include <map>
#include <utility>

#include "common/error.h"
#include "common/format.h"
#include "common/platform.h"
#include "lzss/decoder.h"
#include "pre/member_names.h"

namespace qbkit::pre {

std::string path_key(const std::string& path) {
  std::string key = path;
  if (kFileNamesIgnoreCase)
    for (char& c : key)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return key;
}

ExtractionPlan plan_extraction(ByteSpan file, const ArchiveHeader& header, const std::string& path) {
  MemberWalk walk = walk_members(file, kHeaderSize, header.member_count);
  for (const Member& m : walk.members)
    if (!is_safe_member_name(m.name)) throw_unsafe_name(m.name);
  if (walk.damaged) throw_member_past_end(path, walk.members.size() + 1);

  ExtractionPlan plan;
  plan.targets.reserve(walk.members.size());
  plan.earlier.assign(walk.members.size(), ExtractionPlan::kNone);
  plan.numbers.reserve(walk.members.size());
  std::map<std::string, size_t> files;  // the last member written to each file so far
  for (size_t k = 0; k < walk.members.size(); ++k) {
    plan.targets.push_back(member_output_path(walk.members[k].name));
    plan.numbers.push_back(k + 1);
    auto [it, fresh] = files.try_emplace(path_key(plan.targets.back()), k);
    if (!fresh) plan.earlier[k] = std::exchange(it->second, k);
  }
  // A member file where another member needs a directory: one of the two would be lost.
  for (size_t k = 0; k < walk.members.size(); ++k) {
    const std::string key = path_key(plan.targets[k]);
    for (size_t cut = key.find('/'); cut != std::string::npos; cut = key.find('/', cut + 1))
      if (files.count(key.substr(0, cut))) throw_unsafe_name(walk.members[k].name);
  }
  plan.members = std::move(walk.members);
  return plan;
}

ExtractionPlan select_members(ExtractionPlan plan, std::span<const std::string> names, const std::string& path) {
  std::map<std::string, bool> wanted;  // each name's key, and whether a member has it
  for (const std::string& name : names) wanted.emplace(member_key(name), false);
  ExtractionPlan selected;
  std::map<std::string, size_t> files;  // as in plan_extraction, over the selected members
  for (size_t k = 0; k < plan.members.size(); ++k) {
    const auto it = wanted.find(member_key(plan.members[k].name));
    if (it == wanted.end()) continue;
    it->second = true;
    const size_t index = selected.members.size();
    auto [file, fresh] = files.try_emplace(path_key(plan.targets[k]), index);
    selected.earlier.push_back(fresh ? ExtractionPlan::kNone : std::exchange(file->second, index));
    selected.members.push_back(std::move(plan.members[k]));
    selected.targets.push_back(std::move(plan.targets[k]));
    selected.numbers.push_back(plan.numbers[k]);
  }
  for (const std::string& name : names)
    if (!wanted[member_key(name)])
      throw Error(kExitFailure, format("'%s' is no member of '%s'; nothing was written\n", name.c_str(), path.c_str()),
                  Echo::kWhenRedirected);
  return selected;
}

ByteSpan decode_member(const Member& member, size_t number, const std::string& path, Bytes& buffer) {
  if (member.stored()) return member.data;
  if (!lzss::decompress_member_into(member.data, member.uncompressed_size, buffer))
    throw Error(kExitFailure,
                format("Archive '%s' is damaged: member %i does not decode to its size\n", path.c_str(),
                       static_cast<int>(number)),
                Echo::kWhenRedirected);
  return ByteSpan(buffer.data(), member.uncompressed_size);
}

}  // namespace qbkit::pre
