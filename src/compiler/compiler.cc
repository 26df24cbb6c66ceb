#include "compiler/compiler.h"

#include <ostream>

#include "common/error.h"
#include "common/file_io.h"
#include "common/format.h"
#include "compiler/script_compiler.h"

namespace qbkit {

Bytes compile_text(Bytes text, const std::string& identity, const Settings& settings, const SourceLoader& loader,
                   std::ostream& out, Bytes* partial, const WarningOutput* warnings) {
  compiler::ScriptCompiler compiler(settings, loader, out, warnings ? &warnings->err : nullptr);
  try {
    return compiler.compile(std::move(text), identity, warnings ? warnings->main_name : identity);
  } catch (...) {
    if (partial) *partial = compiler.output().take();
    throw;
  }
}

ExitStatus compile_file(const std::string& path, const Settings& settings, const Console& console) {
  std::ostream& out = console.out;
  // Running out of memory anywhere below ends in the driver with status 2 and no message.
  std::optional<Bytes> source = read_file(path, 1);
  if (!source) {
    out << "Couldn't open file!";
    return kExitFailure;
  }

  // An output that may not be replaced is refused before the compile, and nothing is written.
  const std::string output = path + ".qb";
  if (!may_replace(link_target(output)))
    throw Error(kExitFailure, format("Couldn't create file '%s'!\n", output.c_str()));

  // Included files are opened under the name as written, relative to the working directory.
  // Only regular files: read_file fails on anything else as on a missing file.
  const SourceLoader loader = [](const std::string& name) -> std::optional<LoadedSource> {
    std::optional<Bytes> data = read_file(name, 1);
    if (!data) return std::nullopt;
    return LoadedSource{std::move(*data), canonical_path(name)};
  };

  // Whatever fails after the source was read leaves the bytes produced so far in "temp.dump";
  // a dump that cannot be written, or whose path is no file that may be replaced, is skipped.
  Bytes produced;
  const WarningOutput warnings{console.err, path};
  try {
    Bytes qb = compile_text(std::move(*source), canonical_path(path), settings, loader, out, &produced, &warnings);
    if (!write_file_atomic(output, qb)) {
      produced = std::move(qb);
      throw Error(kExitFailure, format("Couldn't create file '%s'!\n", output.c_str()));
    }
    return kExitOk;
  } catch (...) {
    write_file_atomic("temp.dump", produced);
    throw;
  }
}

}  // namespace qbkit
