#include "common/file_system.h"

namespace qbkit {

bool DiskFileSystem::replace(const std::string& path, std::span<const ByteSpan> pieces) {
  return write_file_atomic(path, pieces);
}

std::optional<PendingFile> DiskFileSystem::write_pending(const std::string& target,
                                                         std::span<const ByteSpan> pieces) {
  return PendingFile::write(target, pieces);
}

bool DiskFileSystem::commit(PendingFile& file) { return file.commit(); }

bool DiskFileSystem::may_replace(const std::string& path) { return qbkit::may_replace(path); }

PathKind DiskFileSystem::kind(const std::string& path) { return path_kind(path); }

bool DiskFileSystem::is_empty_directory(const std::string& path) { return qbkit::is_empty_directory(path); }

bool DiskFileSystem::make_directory(const std::string& path) { return qbkit::make_directory(path); }

bool DiskFileSystem::remove(const std::string& path) { return remove_path(path); }

}  // namespace qbkit
