// Builds a valid QB token stream from arbitrary bytes, for round-trip property tests and the
// round-trip fuzz target.
//
// The streams hold only what decompiled text gives back exactly: every token kind the
// compiler reads, properly nested conditionals and switches with the offsets the compiler
// computes, free jumps forward to token starts, every used checksum named (words, and names
// with blanks), finite floats, strings without double quotes or NUL, name records after the
// statements and the end token last.
#pragma once

#include "common/bytes.h"

namespace qbkit::test {

// `choices` drives every decision; when it runs out, the stream is closed off.
Bytes generate_stream(ByteSpan choices, bool thug1);

}  // namespace qbkit::test
