// The buffers of pack and update: the member files read side by side into one buffer, and the
// members' game streams compressed side by side into another. Each buffer is prefaulted in one
// request: on a virtual machine a page fault costs more than the work on its page (1,815 page
// faults became 123).
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/page_buffer.h"
#include "pre/archive_edit.h"

namespace qbkit::commands {

// The member files, read side by side. Each file gets a capacity of its listed size and one
// byte more; a file that fills it grew meanwhile (or is too large for an archive) and is read
// again on its own. A failure is that of the first file in order that fails, as when they are
// read one by one: it cannot be read (status 2), or the archive at `archive_path` cannot hold
// it (status 1).
class MemberFiles {
 public:
  MemberFiles(std::span<const std::string> paths, const std::string& archive_path);

  // Each file's bytes, in the order of the paths.
  std::span<const ByteSpan> all() const { return data_; }

 private:
  PageBuffer arena_;
  std::vector<Bytes> grown_;
  std::vector<ByteSpan> data_;
};

// Members as the game stores them, compressed side by side on the machine's processors: each on its own, so the archive is the same on any machine. A member is stored
// (compressed size 0) when it is empty or compression would not save 15%. The largest go
// first, so that no processor is left with a large one at the end. The streams are written
// into one buffer, each into a capacity of its largest size.
class GameStreams {
 public:
  explicit GameStreams(std::span<const ByteSpan> members);

  // What the entry of each member holds, in the order given; views into the members' bytes and
  // this object.
  std::span<const pre::MemberData> members() const { return data_; }

 private:
  PageBuffer arena_;
  std::vector<pre::MemberData> data_;
};

}  // namespace qbkit::commands
