#include "common/assertion.h"

#include <cstdio>
#include <cstdlib>

namespace qbkit {

void assertion_failed(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "%s:%d: assertion failed: %s\n", file, line, condition);
  std::fflush(stderr);
  std::abort();
}

}  // namespace qbkit
