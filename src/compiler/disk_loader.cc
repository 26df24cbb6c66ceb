#include "common/file_io.h"
#include "common/read_failure.h"
#include "compiler/compiler.h"

namespace qbkit {

// Only regular files: read_file fails on anything else as on a missing file. The spare byte
// of capacity spares the compiler a copy when it appends its terminating zero.
LoadedSource load_from_disk(const std::string& name, const std::string&) {
  std::optional<Bytes> data = read_file(name, 1);
  if (!data) return {{}, {}, std::string(read_failure_reason(name))};
  return {std::move(*data), canonical_path(name), {}};
}

}  // namespace qbkit
