// "x": every member of an archive made by this tool written out, all or nothing.
#include <ostream>

#include "commands/command_files.h"
#include "commands/commands.h"
#include "commands/extraction.h"
#include "common/error.h"
#include "common/format.h"
#include "pre/archive.h"
#include "pre/extract_plan.h"

namespace qbkit::commands {

ExitStatus cmd_extract(const Invocation& call) {
  const std::string& path = call.args[0];
  std::ostream& out = call.console.out;
  out << format("Loading '%s'... ", path.c_str());
  const Bytes file = read_input(path);
  const pre::ArchiveHeader header = pre::read_archive_header(file);
  out << format("%llu bytes read - ", static_cast<unsigned long long>(file.size()));
  out << format("%u bytes wanted\n", static_cast<unsigned>(header.total_size));
  if (header.total_size != file.size())
    throw Error(kExitFailure, "Filesizes don't match, this isn't an originally-Olvex-compressed PRE file!\n");
  if (header.format_tag != pre::kFormatTag)
    throw Error(kExitFailure,
                "This is THUG PRE File - Olvex can only decompress Olvex-Compressed THUG PREs "
                "atm!\n");

  const pre::ExtractionPlan plan = pre::plan_extraction(file, header, path);
  Extraction extraction(plan, call.files);
  Bytes buffer;  // every member is decoded into it in turn
  for (size_t k = 0; k < plan.members.size(); ++k) {
    out << format("Extracting '%s'...\n", plan.members[k].name.c_str());
    if (plan.earlier[k] != pre::ExtractionPlan::kNone)
      call.console.err << format(
          "Warning: members '%s' and '%s' are both extracted to '%s'; the later one is kept\n",
          plan.members[plan.earlier[k]].name.c_str(), plan.members[k].name.c_str(), plan.targets[k].c_str());
    extraction.write(k, pre::decode_member(plan.members[k], k + 1, path, buffer));
  }
  extraction.commit();
  return kExitOk;
}

}  // namespace qbkit::commands
