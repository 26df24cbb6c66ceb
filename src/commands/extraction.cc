#include "commands/extraction.h"

#include <optional>
#include <utility>

#include "commands/command_files.h"
#include "common/error.h"
#include "common/format.h"
#include "common/interruption.h"
#include "pre/member_names.h"

namespace qbkit::commands {

using pre::path_key;

Extraction::Extraction(const pre::ExtractionPlan& plan, FileSystem& files) : plan_(plan), files_(files) {
  pending_.reserve(plan.members.size());
  for (size_t k = 0; k < plan.members.size(); ++k) {
    const std::string& target = plan.targets[k];
    // Below a directory that does not exist, nothing exists: no need to look.
    bool missing = false;
    for (size_t cut = target.find('/'); cut != std::string::npos && !missing; cut = target.find('/', cut + 1)) {
      std::string dir = target.substr(0, cut);
      auto [it, fresh] = seen_.try_emplace(path_key(dir), PathKind::missing);
      if (fresh) it->second = files_.kind(dir);
      switch (it->second) {
        case PathKind::link:
          throw Error(kExitFailure,
                      format("Refusing to extract '%s' through the link '%s'\n", plan.members[k].name.c_str(),
                             dir.c_str()),
                      Echo::kWhenRedirected);
        case PathKind::other:
          pre::throw_unsafe_name(plan.members[k].name);
        case PathKind::missing:
          missing = true;
          break;
        case PathKind::directory:
          break;
      }
    }
    if (!missing) check_member_file(target);
  }
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

void Extraction::write(size_t k, ByteSpan data) {
  const std::string& target = plan_.targets[k];
  for (size_t cut = target.find('/'); cut != std::string::npos; cut = target.find('/', cut + 1)) {
    std::string dir = target.substr(0, cut);
    PathKind& kind = seen_[path_key(dir)];
    if (kind == PathKind::directory) continue;
    // Made and registered in one hold: an interruption removes it, or finds it not made.
    const InterruptionsHeld hold;
    if (!files_.make_directory(dir)) throw_cannot_write(target);
    created_.push_back({dir, register_temporary_folder(dir)});
    kind = PathKind::directory;
  }
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
