#include "decompiler/stream_scan.h"

#include "common/error.h"
#include "common/format.h"
#include "decompiler/token_sizes.h"
#include "qb/tokens.h"

namespace qbkit::decompiler {
namespace {

// Refuses the token at `pos` when the layout cannot read it: a stream in the other layout
// would otherwise give a wrong text, or lose its names, and pass for a success.
void check_token(ByteSpan data, size_t pos, TokenSizes::Check check) {
  if (check == TokenSizes::kRefused) {
    throw Error(kExitFailure,
                "GOTO stuff not implemented... please report that cuz it shouldn't happen\n"
                "Maybe this file doesn't work with -thug1?\n");
  }
  // In the THUG1 layout case and default carry no operand, so a THUG1 stream read in the
  // standard layout meets one not followed by the endcase token.
  if (pos + 1 >= data.size() || data[pos + 1] != qb::kEndCase) {
    throw Error(kExitFailure, format("Case without an endcase token at %08x\nMaybe this file needs -thug1?\n",
                                     static_cast<unsigned>(pos)));
  }
}

}  // namespace

StreamScan scan_stream(ByteSpan data, const Settings& settings) {
  const TokenSizes sizes(settings.thug1);
  StreamScan scan;
  size_t pos = 0;
  while (pos < data.size()) {
    const uint8_t op = data[pos];
    if (const TokenSizes::Check check = sizes.check(op); check != TokenSizes::kNoCheck) check_token(data, pos, check);
    const size_t size = sizes.size_at(data, pos);
    if (size == 0) {
      scan.unknown = true;
      break;
    }
    if (op == qb::kNameRecord) {
      if (scan.names++ == 0) scan.names_begin = pos;
      scan.names_end = pos + size;
    }
    pos += size;
    if (op == qb::kEnd) break;
  }
  scan.end = pos;
  return scan;
}

}  // namespace qbkit::decompiler
