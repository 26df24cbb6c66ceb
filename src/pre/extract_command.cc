// "x": every member of an archive made by this tool written out, all or nothing.
#include <ostream>

#include "common/error.h"
#include "common/format.h"
#include "pre/archive.h"
#include "pre/command_inputs.h"
#include "pre/commands.h"
#include "pre/extract.h"

namespace qbkit::pre {

ExitStatus cmd_extract(const std::string& path, const Console& console) {
  std::ostream& out = console.out;
  out << format("Loading '%s'... ", path.c_str());
  const Bytes file = read_input(path);
  const ArchiveHeader header = read_archive_header(file);
  out << format("%llu bytes read - ", static_cast<unsigned long long>(file.size()));
  out << format("%u bytes wanted\n", static_cast<unsigned>(header.total_size));
  if (header.total_size != file.size())
    throw Error(kExitFailure, "Filesizes don't match, this isn't an originally-Olvex-compressed PRE file!\n");
  if (header.format_tag != kFormatTag)
    throw Error(kExitFailure,
                "This is THUG PRE File - Olvex can only decompress Olvex-Compressed THUG PREs "
                "atm!\n");

  const ExtractionPlan plan = plan_extraction(file, header, path);
  Extraction extraction(plan);
  Bytes buffer;  // every member is decoded into it in turn
  for (size_t k = 0; k < plan.members.size(); ++k) {
    out << format("Extracting '%s'...\n", plan.members[k].name.c_str());
    if (plan.earlier[k] != ExtractionPlan::kNone)
      console.err << format("Warning: members '%s' and '%s' are both extracted to '%s'; the later one is kept\n",
                            plan.members[plan.earlier[k]].name.c_str(), plan.members[k].name.c_str(),
                            plan.targets[k].c_str());
    extraction.write(k, decode_member(plan.members[k], k + 1, path, buffer));
  }
  extraction.commit();
  return kExitOk;
}

}  // namespace qbkit::pre
