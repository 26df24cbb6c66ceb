// The first, cheap walk over a stream: what the printer must know before it writes a byte.
// Names are looked up as the text is written, so every name record, also one that comes
// after the tokens that use it, must be known first; and a stream that the THUG1 layout
// refuses must be refused before any text is written.
#pragma once

#include <cstddef>

#include "common/bytes.h"
#include "common/settings.h"
#include "qb/name_table.h"

namespace qbkit::decompiler {

struct StreamScan {
  qb::NameTable names;   // from the stream's name records, in stream order
  size_t end = 0;        // the tokens before this position are whole and get printed
  bool unknown = false;  // the token at `end` cannot be read: it ends the text as unknown
};

// Walks `data` up to its end token, its last byte or the first token that cannot be read.
// Throws qbkit::Error (status 1) for an endcase token in the THUG1 layout met on the way.
StreamScan scan_stream(ByteSpan data, const Settings& settings);

}  // namespace qbkit::decompiler
