// "x": the members of an archive made by this tool written out, all or nothing: every member,
// or those that the names after the archive name.
#include <ostream>
#include <utility>

#include "commands/command_files.h"
#include "commands/commands.h"
#include "commands/extraction.h"
#include "common/error.h"
#include "common/format.h"
#include "pre/archive.h"
#include "pre/extract_plan.h"

namespace qbkit::commands {

LoadedArchive load_for_extraction(const std::string& path, std::ostream& progress) {
  progress << format("Loading '%s'... ", path.c_str());
  LoadedArchive archive{read_input(path), {}};
  const ByteSpan file = archive.file;
  const pre::ArchiveHeader header = pre::read_archive_header(file);
  progress << format("%llu bytes read - ", static_cast<unsigned long long>(file.size()));
  progress << format("%u bytes wanted\n", static_cast<unsigned>(header.total_size));
  if (header.total_size != file.size())
    throw Error(kExitFailure, "Filesizes don't match, this isn't an originally-Olvex-compressed PRE file!\n");
  if (header.format_tag != pre::kFormatTag)
    throw Error(kExitFailure,
                "This is THUG PRE File - Olvex can only decompress Olvex-Compressed THUG PREs "
                "atm!\n");
  archive.plan = pre::plan_extraction(file, header, path);
  return archive;
}

void note_shared_target(const pre::ExtractionPlan& plan, size_t k, std::ostream& err) {
  if (plan.earlier[k] == pre::ExtractionPlan::kNone) return;
  err << format("Warning: members '%s' and '%s' are both extracted to '%s'; the later one is kept\n",
                plan.members[plan.earlier[k]].name.c_str(), plan.members[k].name.c_str(), plan.targets[k].c_str());
}

ExitStatus cmd_extract(const Invocation& call) {
  const std::string& path = call.args[0];
  LoadedArchive archive = load_for_extraction(path, call.progress);
  const pre::ExtractionPlan plan =
      call.args.size() > 1 ? pre::select_members(std::move(archive.plan), call.args.subspan(1), path)
                           : std::move(archive.plan);
  Extraction extraction(plan, call.files);
  Bytes buffer;  // every member is decoded into it in turn
  for (size_t k = 0; k < plan.members.size(); ++k) {
    call.progress << format("Extracting '%s'...\n", plan.members[k].name.c_str());
    note_shared_target(plan, k, call.console.err);
    extraction.write(k, pre::decode_member(plan.members[k], plan.numbers[k], path, buffer));
  }
  extraction.commit();
  return kExitOk;
}

}  // namespace qbkit::commands
