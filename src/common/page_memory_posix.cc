// Pages on POSIX systems: anonymous mappings, prefaulted, and on Linux huge pages.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "common/huge_pages.h"
#include "common/page_memory.h"

namespace qbkit {

void advise_huge_pages([[maybe_unused]] void* start, [[maybe_unused]] size_t length) {
#if defined(MADV_HUGEPAGE)
  const auto begin = reinterpret_cast<uintptr_t>(start);
  const uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t last = (begin + length) & ~(kHugePage - 1);
  // A hint, so a failure is ignored.
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

void prefault([[maybe_unused]] void* start, [[maybe_unused]] size_t length) {
#if defined(MADV_POPULATE_WRITE)
  static const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<uintptr_t>(start) & ~(page - 1);
  const uintptr_t end = reinterpret_cast<uintptr_t>(start) + length;
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#endif
}

namespace page_memory {
namespace {

// Whole huge pages, aligned to their size, advised and prefaulted: on a virtual machine a
// small page costs a fault and then, at each first touch after its translation left the
// cache, a walk through two sets of page tables. Rounds `size` up to whole huge pages (so the
// resident size may grow by up to one huge page less a byte); nullptr when the mapping cannot
// be had.
uint8_t* map_huge_pages(size_t& size) {
#if defined(MADV_POPULATE_WRITE)
  if (size > SIZE_MAX - 2 * kHugePage) return nullptr;
  const size_t length = (size + kHugePage - 1) & ~(kHugePage - 1);
  void* p = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(p);
  const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  if (aligned > start) ::munmap(p, aligned - start);
  if (start + kHugePage > aligned) ::munmap(reinterpret_cast<void*>(aligned + length), start + kHugePage - aligned);
  auto* at = reinterpret_cast<uint8_t*>(aligned);
  // Both are hints: where the system has no huge pages or cannot prefault, the pages come
  // one at a time on first touch, as for any memory.
  advise_huge_pages(at, length);
  ::madvise(at, length, MADV_POPULATE_WRITE);
  size = length;
  return at;
#else
  (void)size;
  return nullptr;
#endif
}

}  // namespace

uint8_t* map_pages(size_t& size) {
  if (size >= kHugePage) {
    if (uint8_t* p = map_huge_pages(size)) return p;
  }
  int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#if defined(MAP_POPULATE)
  flags |= MAP_POPULATE;
#endif
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, flags, -1, 0);
  return p == MAP_FAILED ? nullptr : static_cast<uint8_t*>(p);
}

void unmap_pages(uint8_t* p, size_t size) { ::munmap(p, size); }

}  // namespace page_memory
}  // namespace qbkit
