// The bytes of an input text, with zero bytes readable after them for readers that scan
// without comparing positions: held in a vector (a text made in memory), in the pages that a
// file was read into, which need no zeroing before the read and no copy after it, or in a
// mapping of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

#include "common/bytes.h"
#include "common/mapped_file.h"
#include "common/page_buffer.h"

namespace qbkit {

class InputBytes {
 public:
  InputBytes() = default;
  InputBytes(Bytes bytes) : bytes_(std::move(bytes)), data_(bytes_.data()), size_(bytes_.size()) {}  // NOLINT
  // Pages whose size() is the content; zeros follow it to their capacity().
  explicit InputBytes(PageBuffer pages) : pages_(std::move(pages)), data_(pages_.data()), size_(pages_.size()) {}
  // A mapping made with the padding that pad() will ask for.
  explicit InputBytes(MappedFile file)
      : mapped_(std::move(file)), data_(mapped_->bytes().data()), size_(mapped_->bytes().size()) {}

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const uint8_t* begin() const { return data_; }
  const uint8_t* end() const { return data_ + size_; }
  operator ByteSpan() const { return {data_, size_}; }  // NOLINT: read as a span everywhere

  // Makes sure that `padding` zero bytes follow the content in memory: a vector gets them
  // appended (it is copied only when its capacity is short); pages have them when they were
  // read with that much room.
  void pad(size_t padding);

  // Whether the file was changed by another program while it was held: only a mapped file
  // can be, and its bytes may then not be the file's.
  bool changed() const { return mapped_ && mapped_->changed(); }

 private:
  Bytes bytes_;  // with any padding after the content
  PageBuffer pages_;
  std::optional<MappedFile> mapped_;
  const uint8_t* data_ = nullptr;  // of bytes_ or pages_
  size_t size_ = 0;
};

}  // namespace qbkit
