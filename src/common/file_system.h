// The file operations of the commands that write, behind an interface: the disk in the tool
// (DiskFileSystem), and in tests a stand-in that fails where a full disk or a read-only folder
// would, so that what a command then does can be checked in-process. Reads go straight to
// file_io.h.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "common/bytes.h"
#include "common/file_io.h"

namespace qbkit {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // write_file_atomic: `path` replaced by the pieces, or left as it was (false).
  virtual bool replace(const std::string& path, std::span<const ByteSpan> pieces) = 0;
  // PendingFile::write: the pieces in a temporary beside `target`, or nothing (nullopt).
  virtual std::optional<PendingFile> write_pending(const std::string& target, std::span<const ByteSpan> pieces) = 0;
  // PendingFile::commit.
  virtual bool commit(PendingFile& file) = 0;
  // may_replace, path_kind, is_empty_directory, make_directory, remove_path.
  virtual bool may_replace(const std::string& path) = 0;
  virtual PathKind kind(const std::string& path) = 0;
  virtual bool is_empty_directory(const std::string& path) = 0;
  virtual bool make_directory(const std::string& path) = 0;
  virtual bool remove(const std::string& path) = 0;
};

// The disk: each call is the file_io.h function of its name.
class DiskFileSystem : public FileSystem {
 public:
  bool replace(const std::string& path, std::span<const ByteSpan> pieces) override;
  std::optional<PendingFile> write_pending(const std::string& target, std::span<const ByteSpan> pieces) override;
  bool commit(PendingFile& file) override;
  bool may_replace(const std::string& path) override;
  PathKind kind(const std::string& path) override;
  bool is_empty_directory(const std::string& path) override;
  bool make_directory(const std::string& path) override;
  bool remove(const std::string& path) override;
};

}  // namespace qbkit
