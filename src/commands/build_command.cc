// "build DIR ARCHIVE": the archive updated from a folder that unpack wrote: each QB member
// from its script text when that was edited, every other member from its file when that
// changed; all texts compiled before anything is written.
#include <algorithm>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <vector>

#include "commands/command_files.h"
#include "commands/commands.h"
#include "commands/member_buffers.h"
#include "common/error.h"
#include "common/file_io.h"
#include "common/format.h"
#include "common/parallel.h"
#include "common/read_failure.h"
#include "compiler/compiler.h"
#include "compiler/diagnostic_printer.h"
#include "pre/archive_edit.h"
#include "pre/extract_plan.h"
#include "pre/member_names.h"
#include "qb/words.h"
#include "scripts/archive_scripts.h"

namespace qbkit::commands {
namespace {

// Warnings shown for one text, as -c shows them.
constexpr size_t kMaxWarnings = 20;

bool same_bytes(ByteSpan a, ByteSpan b) { return std::equal(a.begin(), a.end(), b.begin(), b.end()); }

// The file at `path`, or nullopt when there is none; one that is there but cannot be read is
// refused (status 2).
std::optional<Bytes> read_if_there(const std::string& path) {
  std::optional<Bytes> data = read_file(path);
  if (!data && read_failure_reason(path) != kNoSuchFile) throw_cannot_read_member(path);
  return data;
}

// Files that are no member and no script text but belong in the folder: table files, what -c
// and a failed compile write, hidden names and folders, editors' backups, what Windows adds.
bool is_ignored(const std::string& path) {
  for (const std::string& part : pre::name_parts(path))
    if (part.starts_with('.')) return true;
  const std::string name = scripts::member_file_name(path);
  return scripts::has_extension(name, ".qbi") || scripts::has_extension(name, ".qbs.qb") || name == "temp.dump" ||
         name.ends_with('~') || (name.size() == 11 && scripts::has_extension(name, "desktop.ini")) ||
         (name.size() == 9 && scripts::has_extension(name, "thumbs.db"));
}

// A compile of one edited text, with what it reported.
struct Compile {
  size_t member;
  std::string path;
  Bytes text;
  Bytes qb;
  bool failed = false;
  std::vector<Diagnostic> diagnostics;
};

struct Collector : DiagnosticSink {
  std::vector<Diagnostic>& into;
  explicit Collector(std::vector<Diagnostic>& d) : into(d) {}
  void report(const Diagnostic& d) override { into.push_back(d); }
};

class ArchiveBuild {
 public:
  ArchiveBuild(const Invocation& call, const AppendTarget& target)
      : call_(call), dir_(call.args[0]), archive_path_(call.args[1]),
        plan_(pre::plan_extraction(target.archive.file, target.archive.header, archive_path_)),
        kept_(plan_.members.size(), true) {
    // Of entries written to one file, the file stands for the last one.
    for (size_t k = 0; k < plan_.members.size(); ++k)
      if (plan_.earlier[k] != pre::ExtractionPlan::kNone) kept_[plan_.earlier[k]] = false;
  }

  void refuse_unknown_files() const;
  void read_sources();
  bool compile_texts();
  ExitStatus write_changes(const AppendTarget& target);

 private:
  std::string script_path(size_t k) const { return path_in(dir_, scripts::script_name(plan_.targets[k])); }
  bool text_unchanged(size_t k, ByteSpan text) const;

  const Invocation& call_;
  const std::string& dir_;
  const std::string& archive_path_;
  pre::ExtractionPlan plan_;
  std::vector<bool> kept_;  // false: a later entry of the same file stands for this one
  std::vector<scripts::MemberContent> content_;
  std::vector<std::optional<Bytes>> replacement_;  // each member's new bytes, if it changed
  std::vector<Compile> compiles_;
};

void ArchiveBuild::refuse_unknown_files() const {
  const std::optional<std::vector<std::string>> files = files_below(dir_);
  if (!files) throw Error(kExitNoAccess, format("Couldn't read the folder '%s'!\n", dir_.c_str()), Echo::kWhenRedirected);
  std::set<std::string> known;
  for (size_t k = 0; k < plan_.targets.size(); ++k) {
    known.insert(pre::path_key(plan_.targets[k]));
    if (scripts::is_qb_name(plan_.targets[k])) known.insert(pre::path_key(scripts::script_name(plan_.targets[k])));
  }
  for (const std::string& file : *files) {
    if (is_ignored(file) || known.count(pre::path_key(file)) != 0) continue;
    if (canonical_path(path_in(dir_, file)) == canonical_path(archive_path_)) continue;  // the archive itself
    throw Error(kExitFailure,
                format("'%s' names no member of '%s': add it to the archive with -p add or -p update first; "
                       "nothing was changed\n",
                       path_in(dir_, file).c_str(), archive_path_.c_str()),
                Echo::kWhenRedirected);
  }
}

// Whether `text` is what unpack writes for member k, and the table file it includes, found as
// -c finds it, too.
bool ArchiveBuild::text_unchanged(size_t k, ByteSpan text) const {
  const scripts::ScriptText& expected = *content_[k].script;
  if (!expected.failure.empty() || as_text(text) != expected.text) return false;
  const std::string table = qb::table_file_path(scripts::member_file_name(plan_.members[k].name));
  const LoadedSource loaded = load_from_folder(dir_, table, script_path(k));
  return loaded.failure.empty() && as_text(loaded.text) == expected.table;
}

void ArchiveBuild::read_sources() {
  std::vector<std::optional<Bytes>> texts(plan_.members.size());
  for (size_t k = 0; k < plan_.members.size(); ++k)
    if (kept_[k] && scripts::is_qb_name(plan_.targets[k])) texts[k] = read_if_there(script_path(k));
  // Only members with a text are decompiled: to tell whether it was edited.
  content_ = scripts::read_members(plan_.members, archive_path_, [&](size_t k, ByteSpan) { return texts[k].has_value(); });
  replacement_.resize(plan_.members.size());
  for (size_t k = 0; k < plan_.members.size(); ++k) {
    if (!kept_[k]) continue;
    const std::string path = path_in(dir_, plan_.targets[k]);
    std::optional<Bytes> file = read_if_there(path);
    const bool file_changed = file && !same_bytes(*file, content_[k].bytes);
    if (!texts[k]) {
      if (file_changed) replacement_[k] = std::move(file);
      continue;
    }
    if (file_changed)
      call_.console.err << format("Warning: '%s' differs from the archive's member, but '%s' is its source; the "
                                  "member is compiled from the text\n",
                                  path.c_str(), script_path(k).c_str());
    if (!text_unchanged(k, *texts[k])) compiles_.push_back({k, script_path(k), std::move(*texts[k]), {}, false, {}});
  }
}

bool ArchiveBuild::compile_texts() {
  const SourceLoader loader = [this](const std::string& name, const std::string& including) {
    return load_from_folder(dir_, name, including);
  };
  run_in_parallel(compiles_.size(), [&](size_t i) {
    Compile& c = compiles_[i];
    Collector sink(c.diagnostics);
    try {
      c.qb = compile_text({std::move(c.text), c.path, canonical_path(c.path)}, {}, loader, sink);
    } catch (const Error&) {
      c.failed = true;
    }
  });
  const bool failed = std::any_of(compiles_.begin(), compiles_.end(), [](const Compile& c) { return c.failed; });
  std::ostringstream shown;
  for (Compile& c : compiles_) {
    DiagnosticPrinter printer(shown, false, kMaxWarnings);
    for (const Diagnostic& d : c.diagnostics) printer.report(d);
    if (printer.not_printed() > 0) shown << c.path << ": note: further warnings are not shown\n";
    if (!c.failed && !same_bytes(c.qb, content_[c.member].bytes)) replacement_[c.member] = std::move(c.qb);
  }
  // On a failure the diagnostics report it, as the command's errors; otherwise the warnings go
  // where -c puts them.
  if (failed)
    report_failure(call_.console, shown.str());
  else
    call_.console.err << shown.str();
  return !failed;
}

ExitStatus ArchiveBuild::write_changes(const AppendTarget& target) {
  std::vector<size_t> changed;
  std::vector<ByteSpan> data;
  for (size_t k = 0; k < replacement_.size(); ++k) {
    if (!replacement_[k]) continue;
    check_member_size(replacement_[k]->size(), path_in(dir_, plan_.targets[k]), archive_path_);
    changed.push_back(k);
    data.push_back(*replacement_[k]);
  }
  if (!changed.empty()) {
    const GameStreams streams(data);
    pre::ArchiveEdit edit = pre::replace_members(target.archive, changed, streams.members());
    call_.console.out << edit.out;
    call_.progress << edit.progress;
    if (edit.too_large) throw_too_large(archive_path_, *edit.too_large);
    write_output(call_.files, archive_path_, edit.writer.pieces());
  }
  call_.console.out << format("%d members changed\n", static_cast<int>(changed.size()));
  return kExitOk;
}

}  // namespace

ExitStatus cmd_build(const Invocation& call) {
  const std::string& archive_path = call.args[1];
  const std::optional<AppendTarget> target = open_for_append(archive_path);
  if (!target) throw_cannot_open_archive(archive_path);
  check_output(call.files, archive_path);
  ArchiveBuild build(call, *target);
  build.refuse_unknown_files();
  build.read_sources();
  if (!build.compile_texts()) return kExitFailure;
  return build.write_changes(*target);
}

}  // namespace qbkit::commands
