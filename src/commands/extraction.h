// The writing of a planned extraction (pre/extract_plan.h), all or nothing.
//
// First what the disk tells (links and files on the members' paths, what stands where the
// members go), then each member is decoded in memory and written to a temporary beside its
// target; only when every member is written are the temporaries renamed into place. A failure
// at any step, or an interruption before the renames, removes the temporaries and the
// directories this run made: no existing file changes.
#pragma once

#include <iosfwd>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"
#include "common/file_io.h"
#include "common/file_system.h"
#include "pre/extract_plan.h"

namespace qbkit::commands {

// An archive read whole for extraction and its plan: x's loading line goes to `progress`, and
// an archive whose size field is not its size, or that another tool made, is refused (status 1)
// with the messages x has always given.
struct LoadedArchive {
  Bytes file;
  pre::ExtractionPlan plan;  // views into `file`
};
LoadedArchive load_for_extraction(const std::string& path, std::ostream& progress);

// Warns on `err` when member k is written to the file of an earlier member, which it replaces.
void note_shared_target(const pre::ExtractionPlan& plan, size_t k, std::ostream& err);

// Uncommitted, it undoes itself when it goes away.
class Extraction {
 public:
  // The members go below `root`, a folder ("" for the working folder), which is made with its
  // missing parents when it does not exist. Looks at every directory below it on the members'
  // paths that exists, without following it: a link refuses the archive (status 1), a file
  // refuses the member as an unsafe name. Where a member's file goes, a non-empty directory,
  // a device, a FIFO or a file that may not be written cannot be written (status 2).
  Extraction(const pre::ExtractionPlan& plan, FileSystem& files, const std::string& root = {});
  Extraction(const Extraction&) = delete;
  Extraction& operator=(const Extraction&) = delete;
  ~Extraction();

  // Where member k is written.
  const std::string& target(size_t k) const { return targets_[k]; }
  // Makes the missing directories on member k's path (each once) and writes `data` to a
  // temporary beside its target; the cannot-write message (status 2) when it cannot.
  void write(size_t k, ByteSpan data);
  // After write(k): writes `data` as the file `name` in member k's folder, in the same way.
  void write_beside(size_t k, std::string_view name, ByteSpan data);
  // Renames every temporary into place, in the order written, so a later member of the same
  // name wins; the cannot-write message (status 2) when one cannot be. Interruptions are held
  // meanwhile.
  void commit();

 private:
  struct CreatedFolder {
    std::string path;
    size_t registration;  // in the registry of temporaries, until the extraction commits
  };
  void make_root(const std::string& root);
  void check_directories(size_t k);
  void check_member_file(const std::string& target);
  // Makes the folder `dir` on the way to `target` and registers it, to be removed on failure.
  void make_folder(const std::string& dir, const std::string& target);
  void pend(const std::string& target, ByteSpan data);

  const pre::ExtractionPlan& plan_;
  FileSystem& files_;
  std::vector<std::string> targets_;      // the members' paths below the root
  size_t below_ = 0;                      // where the part below the root starts in each
  std::map<std::string, PathKind> seen_;  // directories on the paths, looked at once (by
                                          // their name as the file system compares it)
  std::vector<CreatedFolder> created_;    // in the order made
  std::vector<std::string> empty_dirs_;   // empty directories where member files go
  std::vector<PendingFile> pending_;
  bool committed_ = false;
};

}  // namespace qbkit::commands
