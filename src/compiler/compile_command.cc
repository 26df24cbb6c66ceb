// Mode c: the file's text compiled into "<path>.qb". Standard output carries the progress
// lines and the message of a failure; standard error carries the diagnostics.
#include <ostream>

#include "common/file_io.h"
#include "common/format.h"
#include "compiler/compiler.h"
#include "compiler/diagnostic_printer.h"

namespace qbkit {
namespace {

// Warnings shown by one compile; a text converted whole would otherwise bury the console.
constexpr size_t kMaxWarnings = 20;

}  // namespace

ExitStatus compile_file(const std::string& path, const Settings& settings, const Console& console,
                        const std::string& output) {
  // Running out of memory anywhere below ends in the driver with status 2 and no message.
  LoadedSource source = load_from_disk(path, {});
  if (!source.failure.empty()) {
    console.out << "Couldn't open file!";
    console.err << render({path, 0, 0, Severity::kError, code::kCannotOpen, "cannot open: " + source.failure, {}});
    return kExitFailure;
  }

  // An output that may not be replaced (a device, a FIFO, a file that may not be written) is
  // refused before the compile, and nothing is written.
  const std::string name = output.empty() ? path + ".qb" : output;
  auto cannot_write = [&] {
    console.err << render({name, 0, 0, Severity::kError, code::kCannotWrite, "cannot write the file", {}});
    return Error(kExitFailure, format("Couldn't create file '%s'!\n", name.c_str()));
  };
  if (!may_replace(link_target(name))) throw cannot_write();

  // Whatever fails after the source was read leaves the bytes produced so far in "temp.dump";
  // a dump that cannot be written, or whose path is no file that may be replaced, is skipped.
  Bytes produced;
  DiagnosticPrinter printer(console.err, false, kMaxWarnings);
  auto end_of_warnings = [&] {
    if (printer.not_printed() > 0) console.err << path << ": note: further warnings are not shown\n";
  };
  try {
    Bytes qb = compile_text({std::move(source.text), path, source.identity}, {settings, false}, load_from_disk,
                            printer, &console.out, &produced);
    end_of_warnings();
    if (!write_file_atomic(name, qb)) {
      produced = std::move(qb);
      throw cannot_write();
    }
    return kExitOk;
  } catch (const Error&) {
    end_of_warnings();
    write_file_atomic("temp.dump", produced);
    throw;
  }
}

}  // namespace qbkit
