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
  std::map<std::string, size_t> files;  // the last member written to each file so far
  for (size_t k = 0; k < walk.members.size(); ++k) {
    plan.targets.push_back(member_output_path(walk.members[k].name));
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
