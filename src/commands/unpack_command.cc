// "unpack ARCHIVE DIR": every member written below DIR as x writes it, and beside each QB
// member its script text and table file, as -d writes them in the member's folder.
#include <map>
#include <ostream>
#include <string_view>

#include "commands/command_files.h"
#include "commands/commands.h"
#include "commands/extraction.h"
#include "common/error.h"
#include "common/file_io.h"
#include "common/format.h"
#include "pre/extract_plan.h"
#include "qb/words.h"
#include "scripts/archive_scripts.h"
#include "scripts/script_text.h"

namespace qbkit::commands {
namespace {

// DIR is new or empty, so that nothing of a user's is replaced and build later finds only
// what unpack wrote and the user added.
void check_new_folder(FileSystem& files, const std::string& dir) {
  const PathKind kind = files.kind(dir);
  if (kind == PathKind::missing) return;
  if (kind != PathKind::other && files.is_empty_directory(dir)) return;
  if (kind == PathKind::other || is_regular_file(dir))
    throw Error(kExitFailure, format("'%s' is not a folder; nothing was written\n", dir.c_str()), Echo::kWhenRedirected);
  throw Error(kExitFailure, format("'%s' is not empty; nothing was written\n", dir.c_str()), Echo::kWhenRedirected);
}

// Refuses an archive in which the text or the table file of a QB member would land on another
// member's file, or on the text of another QB member (menu.qb and MENU.QB): one of them would
// be lost. Entries of one name land on one file anyway, the later one kept.
void check_script_files(const pre::ExtractionPlan& plan) {
  std::map<std::string, size_t> owner;  // each file's key, and the first member that writes it
  for (size_t k = 0; k < plan.members.size(); ++k) owner.try_emplace(pre::path_key(plan.targets[k]), k);
  for (size_t k = 0; k < plan.members.size(); ++k) {
    const std::string& target = plan.targets[k];
    if (!scripts::is_qb_name(target)) continue;
    for (const std::string& file : {scripts::script_name(target), qb::table_file_path(target)}) {
      const auto [it, fresh] = owner.try_emplace(pre::path_key(file), k);
      if (fresh || pre::path_key(plan.targets[it->second]) == pre::path_key(target)) continue;
      throw Error(kExitFailure,
                  format("Refusing to unpack: '%s' and '%s' would both be written to '%s'; nothing was written\n",
                         plan.members[it->second].name.c_str(), plan.members[k].name.c_str(), file.c_str()),
                  Echo::kWhenRedirected);
    }
  }
}

}  // namespace

ExitStatus cmd_unpack(const Invocation& call) {
  const std::string& path = call.args[0];
  const std::string& dir = call.args[1];
  check_new_folder(call.files, dir);
  const LoadedArchive archive = load_for_extraction(path, call.progress);
  const pre::ExtractionPlan& plan = archive.plan;
  check_script_files(plan);
  const std::vector<scripts::MemberContent> content =
      scripts::read_members(plan.members, path, [](size_t, ByteSpan) { return true; });
  Extraction extraction(plan, call.files, dir);
  int decompiled = 0;
  int failed = 0;
  for (size_t k = 0; k < plan.members.size(); ++k) {
    call.progress << format("Extracting '%s'...\n", plan.members[k].name.c_str());
    note_shared_target(plan, k, call.console.err);
    extraction.write(k, content[k].bytes);
    if (!content[k].script) continue;
    const scripts::ScriptText& script = *content[k].script;
    if (!script.failure.empty()) {
      report_failure(call.console, format("'%s': does not decompile: %s\n", plan.members[k].name.c_str(),
                                          script.failure.c_str()));
      ++failed;
      continue;
    }
    const std::string file = scripts::member_file_name(plan.members[k].name);
    extraction.write_beside(k, scripts::script_name(file), as_bytes(script.text));
    extraction.write_beside(k, qb::table_file_path(file), as_bytes(script.table));
    ++decompiled;
  }
  extraction.commit();
  call.console.out << (failed == 0 ? format("%d scripts decompiled\n", decompiled)
                                   : format("%d scripts decompiled, %d failed\n", decompiled, failed));
  return failed == 0 ? kExitOk : kExitFailure;
}

}  // namespace qbkit::commands
