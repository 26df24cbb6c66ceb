#include "decompiler/text_writer.h"

#include <algorithm>
#include <ostream>

namespace qbkit::decompiler {

void OstreamSink::write(std::string_view piece) {
  out_.write(piece.data(), static_cast<std::streamsize>(piece.size()));
}

TextWriter::TextWriter(TextSink& sink, size_t capacity)
    : sink_(&sink), pages_(std::clamp<size_t>(capacity, 64, kMaxCapacity)),
      buf_(reinterpret_cast<char*>(pages_.data())), capacity_(pages_.size()) {}

void TextWriter::flush() {
  if (used_ == 0) return;
  sink_->write(std::string_view(buf_, used_));
  used_ = 0;
}

// A text longer than the space left (a long string operand, say) goes out in pieces that
// each fill the buffer.
void TextWriter::put_long(std::string_view s) {
  while (!s.empty()) {
    if (available() == 0) flush();
    const size_t n = std::min(available(), s.size());
    std::memcpy(buf_ + used_, s.data(), n);
    used_ += n;
    s.remove_prefix(n);
  }
}

void TextWriter::put_repeated_long(size_t count, char c) {
  while (count > 0) {
    if (available() == 0) flush();
    const size_t n = std::min(available(), count);
    std::memset(buf_ + used_, c, n);
    used_ += n;
    count -= n;
  }
}

}  // namespace qbkit::decompiler
