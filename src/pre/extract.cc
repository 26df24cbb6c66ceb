#include "pre/extract.h"

#include <algorithm>
#include <map>
#include <utility>

#include "common/error.h"
#include "common/format.h"
#include "lzss/decoder.h"

namespace qbkit::pre {
namespace {

// The file systems of Windows take names in any case as the same name.
std::string path_key(const std::string& path) {
#if defined(_WIN32)
  std::string key = path;
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return key;
#else
  return path;
#endif
}

[[noreturn]] void throw_cannot_write(const std::string& target) {
  throw Error(kExitNoAccess, format("Couldn't open file '%s'!\n", target.c_str()));
}

}  // namespace

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
    throw Error(kExitFailure, format("Archive '%s' is damaged: member %i does not decode to its size\n",
                                     path.c_str(), static_cast<int>(number)));
  return ByteSpan(buffer.data(), member.uncompressed_size);
}

Extraction::Extraction(const ExtractionPlan& plan) : plan_(plan) {
  pending_.reserve(plan.members.size());
  for (size_t k = 0; k < plan.members.size(); ++k) {
    const std::string& target = plan.targets[k];
    // Below a directory that does not exist, nothing exists: no need to look.
    bool missing = false;
    for (size_t cut = target.find('/'); cut != std::string::npos && !missing; cut = target.find('/', cut + 1)) {
      std::string dir = target.substr(0, cut);
      auto [it, fresh] = seen_.try_emplace(path_key(dir), PathKind::missing);
      if (fresh) it->second = path_kind(dir);
      switch (it->second) {
        case PathKind::link:
          throw Error(kExitFailure, format("Refusing to extract '%s' through the link '%s'\n",
                                           plan.members[k].name.c_str(), dir.c_str()));
        case PathKind::other:
          throw_unsafe_name(plan.members[k].name);
        case PathKind::missing:
          missing = true;
          break;
        case PathKind::directory:
          break;
      }
    }
    // The member file itself may be a file or a link (replaced, not followed); an empty
    // directory there gives way to it.
    if (!missing && path_kind(target) == PathKind::directory) {
      if (!is_empty_directory(target)) throw_cannot_write(target);
      empty_dirs_.push_back(target);
    }
  }
}

Extraction::~Extraction() {
  if (committed_) return;
  pending_.clear();  // removes the temporaries
  for (auto dir = created_.rbegin(); dir != created_.rend(); ++dir) remove_path(*dir);
}

void Extraction::write(size_t k, ByteSpan data) {
  const std::string& target = plan_.targets[k];
  for (size_t cut = target.find('/'); cut != std::string::npos; cut = target.find('/', cut + 1)) {
    std::string dir = target.substr(0, cut);
    PathKind& kind = seen_[path_key(dir)];
    if (kind == PathKind::directory) continue;
    if (!make_directory(dir)) throw_cannot_write(target);
    created_.push_back(dir);
    kind = PathKind::directory;
  }
  std::optional<PendingFile> pending = PendingFile::write(target, std::span<const ByteSpan>(&data, 1));
  if (!pending) throw_cannot_write(target);
  pending_.push_back(std::move(*pending));
}

void Extraction::commit() {
  for (const std::string& dir : empty_dirs_) remove_path(dir);
  for (PendingFile& file : pending_)
    if (!file.commit()) throw_cannot_write(file.target());
  committed_ = true;
}

}  // namespace qbkit::pre
