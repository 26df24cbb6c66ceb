#include "decompiler/stream_scan.h"

#include "common/error.h"
#include "decompiler/token_sizes.h"
#include "qb/tokens.h"

namespace qbkit::decompiler {

StreamScan scan_stream(ByteSpan data, const Settings& settings) {
  const TokenSizes sizes(settings.thug1);
  StreamScan scan;
  size_t pos = 0;
  while (pos < data.size()) {
    const uint8_t op = data[pos];
    if (sizes.refused(op)) {
      throw Error(kExitFailure,
                  "GOTO stuff not implemented... please report that cuz it shouldn't happen\n"
                  "Maybe this file doesn't work with -thug1?\n");
    }
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
