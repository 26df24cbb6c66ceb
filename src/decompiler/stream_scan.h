// The first walk over a stream: what the printer must know before it writes a byte. Names are
// looked up as the text is written, so every name record, also one that comes after the
// tokens that use it, must be known first; a stream that the layout refuses must be refused
// before any text is written. On the way the walk notes where each token starts and numbers
// the jump targets, so that the printer never works out a token's length or a target again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/assertion.h"
#include "common/bytes.h"
#include "decompiler/jump_targets.h"
#include "decompiler/layout.h"
#include "decompiler/token_sizes.h"
#include "decompiler/token_starts.h"
#include "qb/operands.h"
#include "qb/tokens.h"

namespace qbkit::decompiler {

struct StreamScan {
  size_t end = 0;          // the tokens before this position are whole and get printed
  bool unknown = false;    // the token at `end` cannot be read: it ends the text as unknown
  bool end_token = false;  // the walk stopped at the end token (else at `end`, the data's end)
  // The name records: how many, and the stretch of tokens from the first to the end of the
  // last (where the compiler puts them all, after the statements).
  size_t names = 0;
  size_t names_begin = 0;
  size_t names_end = 0;
  TokenStarts starts;                     // every token before `end`
  std::vector<uint32_t> jump_indices;     // the target index of each long offset, in stream order
  std::vector<TargetMarker> markers;      // sorted by position
  // Where each chunk of a print in chunks starts (see ChunkPlan), in order; empty otherwise.
  std::vector<PrintState> chunks;
};

// A print in chunks: the scan notes the layout state at the first token of every `bytes`
// bytes of the stream, where a chunk starts.
struct ChunkPlan {
  const Layout& layout;
  size_t bytes;
};

// Walks `data` up to its end token, its last byte or the first token that cannot be read.
// Throws qbkit::Error (status 1) for a token met on the way that the layout refuses: an
// endcase token in the THUG1 layout, a case or default not followed by the endcase token in
// the standard layout (the stream is in the THUG1 layout). `sizes` gives the layout; `chunks`,
// when given, the chunks to plan, with layout rules of the same settings. `plain` walks the
// stream in one go, the way the fast walk is compared with.
StreamScan scan_stream(ByteSpan data, const TokenSizes& sizes, const ChunkPlan* chunks = nullptr, bool plain = false);

// Calls f(checksum, name) for each name record of the scanned stream, in stream order; the
// names are views into `data`.
template <typename F>
void for_each_name_record(ByteSpan data, const StreamScan& scan, const TokenSizes& sizes, F&& f) {
  for (size_t pos = scan.names_begin; pos < scan.names_end;) {
    QBKIT_ASSERT(sizes.size_at(data, pos) != 0);  // precondition: the scan read every token here whole
    if (data[pos] != qb::kNameRecord) {
      pos += sizes.size_at(data, pos);
      continue;
    }
    const qb::NameRecordOperand record = *qb::read_name_record_operand(data, pos + 1);
    f(record.checksum, record.name);
    pos += 1 + record.size;
  }
}

}  // namespace qbkit::decompiler
