#include "pre/extract.h"

#include <algorithm>
#include <set>
#include <utility>

#include "common/error.h"
#include "common/format.h"
#include "pre/lzss.h"

namespace qbkit::pre {
namespace {

constexpr size_t kMaxPartLength = 255;  // longest file name the file systems take

bool is_separator(char c) { return c == '\\' || c == '/'; }

bool has_drive_prefix(std::string_view name) {
  return name.size() >= 2 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')) &&
         name[1] == ':';
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::string lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = lower(c);
  return out;
}

// A part Windows would not create as named: it drops a trailing dot or blank, reads ':' as
// a stream or drive, and opens a device for CON, PRN, AUX, NUL, COM1-9 and LPT1-9, whatever
// extension follows.
[[maybe_unused]] bool is_windows_unsafe_part(std::string_view part) {
  if (part == ".") return false;  // the current directory
  if (part.back() == '.' || part.back() == ' ' || part.find(':') != std::string_view::npos) return true;
  std::string base = lowered(part.substr(0, part.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "con" || base == "prn" || base == "aux" || base == "nul") return true;
  return base.size() == 4 && (base.starts_with("com") || base.starts_with("lpt")) && base[3] >= '1' && base[3] <= '9';
}

// The file systems of Windows take names in any case as the same name.
std::string path_key(const std::string& path) {
#if defined(_WIN32)
  return lowered(path);
#else
  return path;
#endif
}

[[noreturn]] void throw_cannot_write(const std::string& target) {
  throw Error(kExitNoAccess, format("Couldn't open file '%s'!\n", target.c_str()));
}

}  // namespace

std::vector<std::string> name_parts(std::string_view name) {
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < name.size()) {
    while (i < name.size() && is_separator(name[i])) ++i;
    size_t start = i;
    while (i < name.size() && !is_separator(name[i])) ++i;
    if (i > start) parts.emplace_back(name.substr(start, i - start));
  }
  return parts;
}

bool is_safe_member_name(std::string_view name) {
  if (name.empty() || is_separator(name.front()) || is_separator(name.back())) return false;
  std::vector<std::string> parts = name_parts(name);
  // A drive letter and colon anywhere, not only in front: on Windows a path part like "C:"
  // restarts the path on that drive, so "a\C:\x.qb" would make directories outside.
  for (const std::string& part : parts) {
    if (part == ".." || has_drive_prefix(part) || part.size() > kMaxPartLength) return false;
#if defined(_WIN32)
    if (is_windows_unsafe_part(part)) return false;
#endif
  }
  // The last part becomes a file: "." names a directory and cannot be one.
  return !parts.empty() && parts.back() != ".";
}

void throw_unsafe_name(std::string_view name) {
  throw Error(kExitFailure, format("Refusing unsafe member name '%s'\n", std::string(name).c_str()));
}

std::string member_output_path(std::string_view name) {
  std::string path;
  for (const std::string& part : name_parts(name)) {
    if (part == ".") continue;  // the directory it is in: "a/./b" is "a/b"
    if (!path.empty()) path += '/';
    path += part;
  }
  return path;
}

ExtractionPlan plan_extraction(ByteSpan file, const ArchiveHeader& header, const std::string& path) {
  MemberWalk walk = walk_members(file, kHeaderSize, header.member_count);
  for (const Member& m : walk.members)
    if (!is_safe_member_name(m.name)) throw_unsafe_name(m.name);
  if (walk.damaged) throw_member_past_end(path, walk.members.size() + 1);

  ExtractionPlan plan;
  plan.targets.reserve(walk.members.size());
  std::set<std::string> files;
  for (const Member& m : walk.members) {
    plan.targets.push_back(member_output_path(m.name));
    files.insert(path_key(plan.targets.back()));
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
  if (!decompress_member_into(member.data, member.uncompressed_size, buffer))
    throw Error(kExitFailure, format("Archive '%s' is damaged: member %i does not decode to its size\n", path.c_str(),
                          static_cast<int>(number)));
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
          throw Error(kExitFailure, format("Refusing to extract '%s' through the link '%s'\n", plan.members[k].name.c_str(),
                                dir.c_str()));
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
