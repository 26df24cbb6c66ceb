// The compiler: script text to a QB file, in one pass.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "common/bytes.h"
#include "common/console.h"
#include "common/error.h"
#include "common/settings.h"

namespace qbkit {

// A source text pulled in by "%include", with the identity of the file it came from (its
// canonical path for files on disk), which detects a file that includes itself.
struct LoadedSource {
  Bytes text;
  std::string identity;
};

// Resolves the name written in "%include"; nullopt when the file cannot be opened.
using SourceLoader = std::function<std::optional<LoadedSource>(const std::string& name)>;

// Where the warnings of a compile go (they change nothing that is compiled), and the name
// they give the main text; an included text is named as its "%include" line writes it.
struct WarningOutput {
  std::ostream& err;
  std::string main_name;
};

// Compiles script text held in memory into QB bytes (statements, name records, end token,
// long offsets resolved). Progress lines go to `out`; failures are thrown as qbkit::Error.
// When it throws and `partial` is given, *partial receives the bytes produced so far.
// `identity` names the main text for the recursive-include check. Without `warnings`,
// warnings are not reported.
Bytes compile_text(Bytes text, const std::string& identity, const Settings& settings,
                   const SourceLoader& loader, std::ostream& out, Bytes* partial = nullptr,
                   const WarningOutput* warnings = nullptr);

// Mode c: compiles the file at `path` and writes "<path>.qb". Returns the exit status; errors
// are raised as qbkit::Error after the bytes produced so far went to "temp.dump".
ExitStatus compile_file(const std::string& path, const Settings& settings, const Console& console);

}  // namespace qbkit
