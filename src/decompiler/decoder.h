// The decoding pass: walks a QB token stream once from its first byte and turns every token
// into a token record; name records go into the name table instead.
#pragma once

#include "common/bytes.h"
#include "common/settings.h"
#include "decompiler/token_record.h"

namespace qbkit::decompiler {

// Decodes `data` up to its end token, its last byte, or the first token it cannot decode
// (an opcode outside the format, or operands that run past the end of the data), which
// becomes an "Unknown instruction" record. Throws qbkit::Error (status 1) for an endcase
// token in the THUG1 layout.
DecodedStream decode_stream(ByteSpan data, const Settings& settings);

}  // namespace qbkit::decompiler
