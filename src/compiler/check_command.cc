// --check: each file compiled in memory with its includes, every diagnostic on standard
// output, nothing written.
#include <ostream>
#include <vector>

#include "common/format.h"
#include "compiler/compiler.h"
#include "compiler/diagnostic_printer.h"

namespace qbkit {
namespace {

// True when anything was reported.
bool check_file(const std::string& path, const Settings& settings, std::ostream& out) {
  LoadedSource source = load_from_disk(path, {});
  if (!source.failure.empty()) {
    out << render({path, 0, 0, Severity::kError, code::kCannotOpen, "cannot open: " + source.failure, {}});
    return true;
  }
  DiagnosticPrinter printer(out, true, kCheckDiagnosticLimit);
  compile_text({std::move(source.text), path, source.identity}, {settings, true}, load_from_disk, printer);
  if (printer.not_printed() > 0) out << format("%s: note: %zu more diagnostics not shown\n", path.c_str(), printer.not_printed());
  return printer.reported();
}

}  // namespace

ExitStatus check_files(const std::string& program, std::span<const std::string> args, const Console& console) {
  Settings settings;
  std::vector<std::string> files;
  bool usage = false;
  for (const std::string& arg : args) {
    if (arg == "-thug1") {
      settings.thug1 = true;
    } else if (arg.starts_with("-")) {
      usage = true;
    } else {
      files.push_back(arg);
    }
  }
  if (usage || files.empty()) {
    console.out << format("Usage: %s --check FILE... [-thug1] (reports every error in script text; writes nothing)\n",
                          program.c_str());
    return kExitFailure;
  }
  bool reported = false;
  for (const std::string& path : files) reported = check_file(path, settings, console.out) || reported;
  return reported ? kExitFailure : kExitOk;
}

}  // namespace qbkit
