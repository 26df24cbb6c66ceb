// A file system for in-process tests of what a command does when a write fails: the disk,
// but writes fail after the first `writes` of them, as on a disk that fills up; with 0 every
// write fails, as in a read-only folder. The writes are replace, write_pending and
// make_directory; reading, removing and renaming go to the disk.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "common/file_system.h"

namespace qbkit::test {

class FailingFileSystem : public DiskFileSystem {
 public:
  explicit FailingFileSystem(size_t writes) : writes_left_(writes) {}

  bool replace(const std::string& path, std::span<const ByteSpan> pieces) override {
    return take() && DiskFileSystem::replace(path, pieces);
  }
  std::optional<PendingFile> write_pending(const std::string& target, std::span<const ByteSpan> pieces) override {
    if (!take()) return std::nullopt;
    return DiskFileSystem::write_pending(target, pieces);
  }
  bool make_directory(const std::string& path) override { return take() && DiskFileSystem::make_directory(path); }

 private:
  bool take() {
    if (writes_left_ == 0) return false;
    --writes_left_;
    return true;
  }

  size_t writes_left_;
};

}  // namespace qbkit::test
