// Pages on Windows: VirtualAlloc commits them zeroed; no huge pages are asked for.
#include <windows.h>

#include "common/huge_pages.h"
#include "common/page_memory.h"

namespace qbkit {

void advise_huge_pages(void*, size_t) {}

void prefault(void*, size_t) {}

namespace page_memory {

uint8_t* map_pages(size_t& size) {
  return static_cast<uint8_t*>(VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}

void unmap_pages(uint8_t* p, size_t) { VirtualFree(p, 0, MEM_RELEASE); }

}  // namespace page_memory
}  // namespace qbkit
