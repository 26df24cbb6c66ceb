#include "commands/extraction.h"

#include <optional>
#include <utility>

#include "commands/command_files.h"
#include "common/error.h"
#include "common/format.h"
#include "common/interruption.h"
#include "common/platform.h"
#include "pre/member_names.h"

namespace qbkit::commands {

using pre::path_key;

Extraction::Extraction(const pre::ExtractionPlan& plan, FileSystem& files, const std::string& root)
    : plan_(plan), files_(files) {
  const bool separated = root.empty() || kDirectorySeparators.find(root.back()) != std::string_view::npos;
  const std::string prefix = separated ? root : root + "/";
  below_ = prefix.size();
  targets_.reserve(plan.members.size());
  for (const std::string& target : plan.targets) targets_.push_back(prefix + target);
  pending_.reserve(plan.members.size());
  make_root(root);
  for (size_t k = 0; k < plan.members.size(); ++k) check_directories(k);
}

// The root and its missing parents, made now: the members' checks below look inside it.
void Extraction::make_root(const std::string& root) {
  if (root.empty() || files_.kind(root) != PathKind::missing) return;
  std::vector<size_t> ends;  // of the root's parents, then of the root
  for (size_t cut = root.find_first_of(kDirectorySeparators, 1); cut != std::string::npos;
       cut = root.find_first_of(kDirectorySeparators, cut + 1))
    ends.push_back(cut);
  ends.push_back(root.size());
  for (size_t end : ends) {
    const std::string dir = root.substr(0, end);
    if (files_.kind(dir) != PathKind::missing) continue;
    make_folder(dir, root);
  }
}

void Extraction::check_directories(size_t k) {
  const std::string& target = targets_[k];
  // Below a directory that does not exist, nothing exists: no need to look.
  bool missing = false;
  for (size_t cut = target.find('/', below_); cut != std::string::npos && !missing; cut = target.find('/', cut + 1)) {
    std::string dir = target.substr(0, cut);
    auto [it, fresh] = seen_.try_emplace(path_key(dir), PathKind::missing);
    if (fresh) it->second = files_.kind(dir);
    switch (it->second) {
      case PathKind::link:
        throw Error(kExitFailure,
                    format("Refusing to extract '%s' through the link '%s'\n", plan_.members[k].name.c_str(),
                           dir.c_str()),
                    Echo::kWhenRedirected);
      case PathKind::other:
        pre::throw_unsafe_name(plan_.members[k].name);
      case PathKind::missing:
        missing = true;
        break;
      case PathKind::directory:
        break;
    }
  }
  if (!missing) check_member_file(target);
}

// The member file itself may be a file that may be written or a link (replaced, not
// followed); an empty directory there gives way to it. A device, a FIFO or a file that may
// not be written is not replaced.
void Extraction::check_member_file(const std::string& target) {
  switch (files_.kind(target)) {
    case PathKind::directory:
      if (!files_.is_empty_directory(target)) throw_cannot_write(target);
      empty_dirs_.push_back(target);
      break;
    case PathKind::other:
      if (!files_.may_replace(target)) throw_cannot_write(target);
      break;
    case PathKind::missing:
    case PathKind::link:
      break;
  }
}

Extraction::~Extraction() {
  if (committed_) return;
  pending_.clear();  // removes the temporaries
  for (auto dir = created_.rbegin(); dir != created_.rend(); ++dir) {
    const InterruptionsHeld hold;
    files_.remove(dir->path);
    forget_temporary(dir->registration);
  }
}

// Made and registered in one hold: an interruption removes it, or finds it not made.
void Extraction::make_folder(const std::string& dir, const std::string& target) {
  const InterruptionsHeld hold;
  if (!files_.make_directory(dir)) throw_cannot_write(target);
  created_.push_back({dir, register_temporary_folder(dir)});
}

void Extraction::write(size_t k, ByteSpan data) {
  const std::string& target = targets_[k];
  for (size_t cut = target.find('/', below_); cut != std::string::npos; cut = target.find('/', cut + 1)) {
    std::string dir = target.substr(0, cut);
    PathKind& kind = seen_[path_key(dir)];
    if (kind == PathKind::directory) continue;
    make_folder(dir, target);
    kind = PathKind::directory;
  }
  pend(target, data);
}

void Extraction::write_beside(size_t k, std::string_view name, ByteSpan data) {
  const std::string& target = targets_[k];
  const size_t slash = target.rfind('/');
  const size_t folder = slash != std::string::npos && slash >= below_ ? slash + 1 : below_;
  pend(target.substr(0, folder).append(name), data);
}

void Extraction::pend(const std::string& target, ByteSpan data) {
  std::optional<PendingFile> pending = files_.write_pending(target, std::span<const ByteSpan>(&data, 1));
  if (!pending) throw_cannot_write(target);
  pending_.push_back(std::move(*pending));
}

void Extraction::commit() {
  // An interruption waits until every member is in place: extraction stays all or nothing.
  const InterruptionsHeld hold;
  for (const std::string& dir : empty_dirs_) files_.remove(dir);
  for (PendingFile& file : pending_)
    if (!files_.commit(file)) throw_cannot_write(file.target());
  for (const CreatedFolder& dir : created_) forget_temporary(dir.registration);
  committed_ = true;
}

}  // namespace qbkit::commands
