// The compiler: script text to a QB file, in one pass. One engine serves mode c, which stops at
// the first error, and --check, which reports every error it finds and writes nothing. It
// works on memory: the texts come from the caller and from a loader, what it finds goes to a
// DiagnosticSink, and only the two commands at the end of this header touch files and print.
#pragma once

#include <functional>
#include <iosfwd>
#include <span>
#include <string>

#include "common/bytes.h"
#include "common/console.h"
#include "common/error.h"
#include "common/settings.h"
#include "compiler/diagnostic.h"

namespace qbkit {

// A script text and the names it goes by: `name` in diagnostics (the path as the user wrote
// it), `identity` to tell that a file includes itself (its canonical path for a file on disk).
struct SourceText {
  Bytes text;
  std::string name;
  std::string identity;
};

// What a loader gives for the name that an "%include" line writes: the text, or the reason
// why there is none.
struct LoadedSource {
  Bytes text;
  std::string identity;
  std::string failure;  // empty when the text was read; else "no such file", "is a folder", ...
  // Where the text was found, when that is not the name as written (a file found beside the
  // including file): diagnostics name it so, and its own includes are looked for beside it.
  std::string path = {};
};

// Resolves an "%include" name; `including` is the name of the file whose line it is.
using SourceLoader = std::function<LoadedSource(const std::string& name, const std::string& including)>;

// Files on disk: a name is taken as written, relative to the working folder; a relative name
// that no file of the working folder has is looked for beside the including file. Where
// neither holds a file, the failure is the working folder's. Only regular files are read.
LoadedSource load_from_disk(const std::string& name, const std::string& including);
// The same with `folder` as the working folder ("" for the process's own).
LoadedSource load_from_folder(const std::string& folder, const std::string& name, const std::string& including);

struct CompileOptions {
  Settings settings;
  // Reports every error, resuming after the next line feed with blocks, names and includes as
  // they were, and the structure findings as errors; produces no bytes and throws no Error.
  // Without it, the first error ends the compile and structure findings are warnings.
  bool check = false;
};

// Compiles `main` and the texts it includes into QB bytes, in the THUG1 layout when the first
// line of `main` is qb::kThug1LayoutLine, as unpack writes it, whatever options.settings say (statements, name records, end
// token, long offsets resolved). Every diagnostic goes to `sink`, in the order of the text,
// before this returns or throws; "Including" progress lines go to `progress` when given.
// Without options.check the first error is thrown as qbkit::Error with the message and status
// that mode c prints and returns, and *partial (when given) receives the bytes produced so far.
Bytes compile_text(SourceText main, const CompileOptions& options, const SourceLoader& loader, DiagnosticSink& sink,
                   std::ostream* progress = nullptr, Bytes* partial = nullptr);

// Mode c: compiles the file at `path` and writes "<path>.qb", or `output` when it is given. Progress and the failure's
// message go to standard output, diagnostics to standard error. Returns the exit status;
// errors are raised as qbkit::Error after the bytes produced so far went to "temp.dump".
ExitStatus compile_file(const std::string& path, const Settings& settings, const Console& console,
                        const std::string& output = {});

// --check FILE... [-thug1]: the diagnostics of each file on standard output; writes nothing.
// Status 0 when nothing was reported, 1 otherwise or for a command line it cannot take.
ExitStatus check_files(const std::string& program, std::span<const std::string> args, const Console& console);

}  // namespace qbkit
