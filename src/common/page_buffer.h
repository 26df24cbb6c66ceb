// Memory for one large buffer that a run fills and reads whole: an input file, an index, an
// output piece.
//
// Its pages are all prefaulted when the buffer is made, in one request to the system, rather
// than faulted in one at a time at the first touch of each page: on virtual machines a fault
// can cost more than the work done on the page it brings in. pack's member and stream buffers
// took 123 page faults this way where 1,815 came before. On Linux, buffers of one huge page
// (kHugePage, 2 MiB) and more are mapped as whole huge pages (common/huge_pages.h). Only
// buffers that will be touched all over should be made this way (their resident size is their
// whole size at once).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qbkit {

class PageBuffer {
 public:
  PageBuffer() = default;
  // `size` bytes, all zero. Throws std::bad_alloc when the memory cannot be had.
  explicit PageBuffer(size_t size);
  PageBuffer(PageBuffer&& other) noexcept;
  PageBuffer& operator=(PageBuffer&& other) noexcept;
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;
  ~PageBuffer();

  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  // The bytes made at the start, all of them usable: size() and the zeros after it.
  size_t capacity() const { return capacity_; }
  std::span<const uint8_t> bytes() const { return {data_, size_}; }

  // Keeps only the first `size` bytes in view (size <= size()); the memory stays, and the
  // bytes after them are as they were.
  void truncate(size_t size) { size_ = size; }

 private:
  void release();

  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  size_t mapped_ = 0;  // bytes mapped from the system; 0: from the heap (or nothing)
};

}  // namespace qbkit
