#include "decompiler/text_writer.h"

#include <algorithm>
#include <ostream>

namespace qbkit::decompiler {

void TextWriter::flush() {
  if (used_ == 0) return;
  out_.write(buf_.get(), static_cast<std::streamsize>(used_));
  used_ = 0;
}

// A text longer than the room left (a long string operand, say) goes out in pieces that
// each fill the buffer.
void TextWriter::put_long(std::string_view s) {
  while (!s.empty()) {
    if (room() == 0) flush();
    const size_t n = std::min(room(), s.size());
    std::memcpy(buf_.get() + used_, s.data(), n);
    used_ += n;
    s.remove_prefix(n);
  }
}

void TextWriter::put_repeated_long(size_t count, char c) {
  while (count > 0) {
    if (room() == 0) flush();
    const size_t n = std::min(room(), count);
    std::memset(buf_.get() + used_, c, n);
    used_ += n;
    count -= n;
  }
}

}  // namespace qbkit::decompiler
