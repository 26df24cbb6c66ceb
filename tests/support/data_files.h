// Writing the files of the test-data generators (the editor checks' samples, the benchmarks'
// inputs).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "common/bytes.h"
#include "common/file_io.h"

namespace qbkit::test {

// Writes `data` to `path`, creating its folders; a file that cannot be written ends the
// generator with status 1, so that no check or benchmark runs on missing data.
inline void write_data_file(const std::filesystem::path& path, ByteSpan data) {
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  if (!write_file_atomic(path.string(), data)) {
    std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
    std::exit(1);
  }
}

}  // namespace qbkit::test
