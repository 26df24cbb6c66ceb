// --refs NAME PATH...: where a name is declared, defined and used, in script text and table
// files, in the folders that hold them, in QB files and in archives.
#include <optional>
#include <ostream>

#include "commands/command_files.h"
#include "commands/commands.h"
#include "common/error.h"
#include "common/file_io.h"
#include "common/format.h"
#include "scripts/archive_scripts.h"
#include "scripts/name_finder.h"
#include "scripts/script_text.h"

namespace qbkit::commands {
namespace {

// Script text and table files are read as text.
bool is_text_name(std::string_view name) {
  return scripts::has_extension(name, ".qbs") || scripts::has_extension(name, ".qbi");
}

class ReferenceSearch {
 public:
  ReferenceSearch(uint32_t checksum, const Console& console) : checksum_(checksum), console_(console) {}

  // Every place in `path`, in order; a path that cannot be read is reported and noted.
  void search(const std::string& path) {
    try {
      if (is_directory(path))
        search_folder(path);
      else if (is_text_name(path))
        search_text(path, read_input(path));
      else if (scripts::is_qb_name(path))
        search_script(path, scripts::decompile_script(read_input(path), scripts::member_file_name(path)));
      else
        search_archive(path);
    } catch (const Error& e) {
      report_failure(console_, e.message());
      unreadable_ = true;
    }
  }

  ExitStatus status() const {
    if (unreadable_) return kExitNoAccess;
    return found_ ? kExitOk : kExitFailure;
  }

 private:
  void search_folder(const std::string& dir) {
    const std::optional<std::vector<std::string>> files = files_below(dir);
    if (!files) throw_cannot_open_archive(dir);
    for (const std::string& file : *files)
      if (is_text_name(file)) search(path_in(dir, file));
  }

  void search_text(const std::string& label, ByteSpan text) {
    for (const scripts::NameOccurrence& o : scripts::find_names(as_text(text), checksum_)) {
      console_.out << format("%s:%d:%d: %s\n", label.c_str(), o.line, o.column,
                             std::string(scripts::role_word(o.role)).c_str());
      found_ = true;
    }
  }

  void search_script(const std::string& label, const scripts::ScriptText& script) {
    if (!script.failure.empty()) {
      console_.err << format("Warning: '%s' does not decompile, so it was not searched: %s\n", label.c_str(),
                             script.failure.c_str());
      return;
    }
    search_text(label, as_bytes(script.text));
  }

  void search_archive(const std::string& path) {
    const ArchiveFile archive = read_archive(path);
    const std::vector<scripts::MemberContent> content =
        scripts::read_members(archive.members, path, [](size_t, ByteSpan) { return true; });
    for (size_t k = 0; k < content.size(); ++k)
      if (content[k].script) search_script(path + "!" + scripts::script_name(archive.members[k].name), *content[k].script);
  }

  uint32_t checksum_;
  const Console& console_;
  bool found_ = false;
  bool unreadable_ = false;
};

}  // namespace

ExitStatus find_references(std::span<const std::string> args, const Console& console) {
  ReferenceSearch search(scripts::wanted_checksum(args[0]), console);
  for (const std::string& path : args.subspan(1)) search.search(path);
  return search.status();
}

}  // namespace qbkit::commands
