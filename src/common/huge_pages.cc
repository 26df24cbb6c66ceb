#include "common/huge_pages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qbkit {

void advise_huge_pages([[maybe_unused]] void* start, [[maybe_unused]] size_t length) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  const auto begin = reinterpret_cast<uintptr_t>(start);
  const uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t last = (begin + length) & ~(kHugePage - 1);
  // A hint, so a failure is ignored.
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

void prefer_huge_pages(Bytes& buffer) {
  if (buffer.capacity() < 2 * kHugePage) return;
  advise_huge_pages(buffer.data(), buffer.capacity());
}

}  // namespace qbkit
