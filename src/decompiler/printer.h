// The printing pass: decodes each token of a scanned stream and writes its text at once,
// with the header, the line breaks and tabs of the layout, the jump-target markers and the
// footer.
#pragma once

#include <string_view>

#include "common/bytes.h"
#include "common/settings.h"
#include "decompiler/name_index.h"
#include "decompiler/stream_scan.h"
#include "decompiler/text_writer.h"

namespace qbkit::decompiler {

// Writes the whole script text of `data` to `out`; `scan` is scan_stream's result for the
// same data and settings, `names` the index of its name records, `path` the name the include
// line gives the table file.
void print_text(ByteSpan data, const StreamScan& scan, const NameIndex& names, std::string_view path,
                const Settings& settings, TextWriter& out);

}  // namespace qbkit::decompiler
