#include "common/input_bytes.h"

#include "common/assertion.h"

namespace qbkit {

void InputBytes::pad(size_t padding) {
  if (mapped_) return;  // mapped with its padding
  if (pages_.data() != nullptr) {
    QBKIT_ASSERT(pages_.capacity() - size_ >= padding);  // precondition: read with that much room
    return;
  }
  if (bytes_.size() < size_ + padding) bytes_.resize(size_ + padding);
  data_ = bytes_.data();
}

}  // namespace qbkit
