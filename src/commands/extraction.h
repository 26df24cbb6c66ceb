// The writing of a planned extraction (pre/extract_plan.h), all or nothing.
//
// First what the disk tells (links and files on the members' paths, what stands where the
// members go), then each member is decoded in memory and written to a temporary beside its
// target; only when every member is written are the temporaries renamed into place. A failure
// at any step, or an interruption before the renames, removes the temporaries and the
// directories this run made: no existing file changes.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/file_io.h"
#include "common/file_system.h"
#include "pre/extract_plan.h"

namespace qbkit::commands {

// Uncommitted, it undoes itself when it goes away.
class Extraction {
 public:
  // Looks at every directory on the members' paths that exists, without following it: a link
  // refuses the archive (status 1), a file refuses the member as an unsafe name. Where a
  // member's file goes, a non-empty directory, a device, a FIFO or a file that may not be
  // written cannot be written (status 2).
  Extraction(const pre::ExtractionPlan& plan, FileSystem& files);
  Extraction(const Extraction&) = delete;
  Extraction& operator=(const Extraction&) = delete;
  ~Extraction();

  // Makes the missing directories on member k's path (each once) and writes `data` to a
  // temporary beside its target; the cannot-write message (status 2) when it cannot.
  void write(size_t k, ByteSpan data);
  // Renames every temporary into place, in archive order, so a later member of the same
  // name wins; the cannot-write message (status 2) when one cannot be. Interruptions are held
  // meanwhile.
  void commit();

 private:
  struct CreatedFolder {
    std::string path;
    size_t registration;  // in the registry of temporaries, until the extraction commits
  };
  void check_member_file(const std::string& target);

  const pre::ExtractionPlan& plan_;
  FileSystem& files_;
  std::map<std::string, PathKind> seen_;  // directories on the paths, looked at once (by
                                          // their name as the file system compares it)
  std::vector<CreatedFolder> created_;    // in the order made
  std::vector<std::string> empty_dirs_;   // empty directories where member files go
  std::vector<PendingFile> pending_;
  bool committed_ = false;
};

}  // namespace qbkit::commands
