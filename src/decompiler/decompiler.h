// The decompiler: QB file to script text on standard output, plus its table file.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>

#include "common/bytes.h"
#include "common/console.h"
#include "common/error.h"
#include "common/settings.h"
#include "decompiler/text_writer.h"
#include "qb/name_table.h"

namespace qbkit {

// How a decompile runs. The text is the same whichever way.
struct DecompileOptions {
  // 2: the text is printed on two threads, in chunks of `chunk_bytes` bytes of the stream,
  // when the stream holds two chunks or more; 1: on the calling thread.
  unsigned threads = 1;
  size_t chunk_bytes = size_t{256} << 10;
  // The plain paths of the scan and the printer: the stream walked in one go, each piece of
  // text checked for room on its own, floats by the reference conversion, one thread. The
  // tests compare the fast paths with them.
  bool plain = false;
};

// Writes the script text of a QB stream held in memory to `text`, in pieces of at most a MiB
// as it is produced; then, when `table` is given, the text of its table file (one name
// declaration per name record, in stream order) to `table`. `path` is the name the include
// line gives the table file (qb::table_file_path). Throws qbkit::Error (status 1) for a
// stream in the other layout (decompiler::scan_stream), before any text is written.
void decompile_to(ByteSpan data, const std::string& path, const Settings& settings, decompiler::TextSink& text,
                  decompiler::TextSink* table = nullptr, const DecompileOptions& options = {});

// A decompiled stream held whole: the script text, the table file's text and the names.
struct Decompiled {
  std::string text;
  std::string table;
  qb::NameTable names;
  // Where a token that cannot be read ends the text early ("Unknown instruction at"), if one does.
  std::optional<size_t> stopped_at;
};

// The in-memory decompile: decompile_to into strings, and the name records as a table.
Decompiled decompile(ByteSpan data, const std::string& path, const Settings& settings,
                     const DecompileOptions& options = {});

// Mode d: the text to standard output, or to the file `output` (replaced once the text is whole)
// when that is given. Returns the exit status; errors are raised as qbkit::Error. A decompile
// that stops at a token it cannot read writes the text and the table file as far as they go,
// says so on `console.err` and fails (status 1). A stream that ends without its end token is
// decompiled whole, with a warning on `console.err`. Prints on two threads where the process
// may run on two processors.
ExitStatus decompile_file(const std::string& path, const Settings& settings, const Console& console,
                          const std::string& output = {});

}  // namespace qbkit
