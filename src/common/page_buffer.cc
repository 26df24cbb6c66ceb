#include "common/page_buffer.h"

#include <cstdint>
#include <new>
#include <utility>

#include "common/page_memory.h"

namespace qbkit {
namespace {

// Below this a heap block is as cheap: few pages, likely faulted in already.
constexpr size_t kMapAtLeast = size_t{64} << 10;

}  // namespace

PageBuffer::PageBuffer(size_t size) : size_(size), capacity_(size) {
  if (size >= kMapAtLeast) {
    size_t mapped = size;
    data_ = page_memory::map_pages(mapped);
    if (data_ == nullptr) throw std::bad_alloc();
    mapped_ = mapped;
  } else {
    data_ = new uint8_t[size == 0 ? 1 : size]();  // a valid address also for no bytes
  }
}

PageBuffer::PageBuffer(PageBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      mapped_(std::exchange(other.mapped_, 0)) {}

PageBuffer& PageBuffer::operator=(PageBuffer&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    mapped_ = std::exchange(other.mapped_, 0);
  }
  return *this;
}

PageBuffer::~PageBuffer() { release(); }

void PageBuffer::release() {
  if (data_ == nullptr) return;
  if (mapped_ > 0)
    page_memory::unmap_pages(data_, mapped_);
  else
    delete[] data_;
  data_ = nullptr;
}

}  // namespace qbkit
