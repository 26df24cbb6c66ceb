// A file mapped whole into memory, read-only, for an input that is read once and kept until
// the end: no zeroed buffer to read it into and no copy. The compile of the benchmark's 21 MB
// text took 9% less processor time and 1.8 MiB less memory than with the text read into
// pages. The mapping is followed by zero bytes for readers that scan without comparing
// positions, also when the file fills its last page.
//
// A mapped file stays open to other programs. When one cuts it short meanwhile, a page that
// no longer has bytes behind it reads as zeros instead of ending the process with SIGBUS (a
// handler, set once, puts a zeroed page there), and changed() tells that the bytes read may
// not be the file's. Where the system offers no such mapping (Windows), map() gives nullopt
// and the caller reads the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "common/bytes.h"

namespace qbkit {

class MappedFile {
 public:
  // The regular file at `path` with `padding` zero bytes after it; nullopt when it is no
  // regular file, cannot be opened or mapped, or is too small to gain from a mapping.
  static std::optional<MappedFile> map(const std::string& path, size_t padding);

  MappedFile(MappedFile&& other) noexcept
      : base_(std::exchange(other.base_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        length_(std::exchange(other.length_, 0)),
        handle_(std::exchange(other.handle_, -1)),
        modified_(other.modified_) {}
  MappedFile& operator=(MappedFile&&) = delete;
  MappedFile(const MappedFile&) = delete;
  ~MappedFile();

  ByteSpan bytes() const { return {base_, size_}; }
  // Whether the file's size or modification time is no longer what it was when it was mapped.
  bool changed() const;

 private:
  MappedFile() = default;
  uint8_t* base_ = nullptr;
  size_t size_ = 0;
  size_t length_ = 0;  // bytes of address space taken, padding included
  intptr_t handle_ = -1;
  int64_t modified_ = 0;  // the modification time in nanoseconds, as it was
};

}  // namespace qbkit
