#include "common/huge_pages.h"

namespace qbkit {

// advise_huge_pages is the platform's: page_memory_posix.cc or page_memory_win32.cc.

void prefer_huge_pages(Bytes& buffer) {
  if (buffer.capacity() < 2 * kHugePage) return;
  advise_huge_pages(buffer.data(), buffer.capacity());
}

}  // namespace qbkit
