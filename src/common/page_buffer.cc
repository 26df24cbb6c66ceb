#include "common/page_buffer.h"

#include <cstdint>
#include <new>
#include <utility>

#include "common/huge_pages.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace qbkit {
namespace {

// Below this a heap block is as cheap: few pages, likely faulted in already.
constexpr size_t kMapAtLeast = size_t{64} << 10;

#if !defined(_WIN32)
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
#endif

// Zeroed pages straight from the system, all prefaulted; nullptr when none can be had. `size`
// comes back as the bytes mapped.
uint8_t* map_pages(size_t& size) {
#if defined(_WIN32)
  return static_cast<uint8_t*>(VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
#else
  if (size >= kHugePage) {
    if (uint8_t* p = map_huge_pages(size)) return p;
  }
  int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#if defined(MAP_POPULATE)
  flags |= MAP_POPULATE;
#endif
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, flags, -1, 0);
  return p == MAP_FAILED ? nullptr : static_cast<uint8_t*>(p);
#endif
}

void unmap_pages(uint8_t* p, size_t size) {
#if defined(_WIN32)
  (void)size;
  VirtualFree(p, 0, MEM_RELEASE);
#else
  ::munmap(p, size);
#endif
}

}  // namespace

PageBuffer::PageBuffer(size_t size) : size_(size) {
  if (size >= kMapAtLeast) {
    size_t mapped = size;
    data_ = map_pages(mapped);
    if (data_ == nullptr) throw std::bad_alloc();
    mapped_ = mapped;
  } else {
    data_ = new uint8_t[size == 0 ? 1 : size]();  // a valid address also for no bytes
  }
}

PageBuffer::PageBuffer(PageBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, 0)) {}

PageBuffer& PageBuffer::operator=(PageBuffer&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, 0);
  }
  return *this;
}

PageBuffer::~PageBuffer() { release(); }

void PageBuffer::release() {
  if (data_ == nullptr) return;
  if (mapped_ > 0)
    unmap_pages(data_, mapped_);
  else
    delete[] data_;
  data_ = nullptr;
}

}  // namespace qbkit
