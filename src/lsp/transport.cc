#include "lsp/transport.h"

#include <algorithm>

namespace qbkit::lsp {
namespace {

constexpr std::string_view kLengthHeader = "content-length:";
// A header line longer than this is not waited for: the block is a bad header.
constexpr size_t kMaxHeaderLine = 8192;

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

std::string_view trim(std::string_view s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Decimal digits only, at most kMaxBodySize.
std::optional<size_t> parse_length(std::string_view value) {
  if (value.empty()) return std::nullopt;
  size_t length = 0;
  for (const char c : value) {
    if (c < '0' || c > '9') return std::nullopt;
    length = length * 10 + static_cast<size_t>(c - '0');
    if (length > kMaxBodySize) return std::nullopt;
  }
  return length;
}

}  // namespace

void FrameReader::feed(std::string_view bytes) {
  // What was consumed goes before the buffer grows, so that it holds about one message.
  if (read_ > 0 && read_ >= buffer_.size() / 2) {
    buffer_.erase(0, read_);
    read_ = 0;
  }
  buffer_.append(bytes);
}

std::optional<Frame> FrameReader::next() {
  std::optional<Frame> frame;
  for (;;) {
    bool progressed = false;
    switch (state_) {
      case State::kHeaders: progressed = read_header_line(frame); break;
      case State::kBody: progressed = read_body(frame); break;
      case State::kSkipping: progressed = skip_line(); break;
    }
    if (frame || !progressed) return frame;
  }
}

bool FrameReader::read_header_line(std::optional<Frame>& frame) {
  const std::string_view rest = pending();
  const size_t eol = rest.find('\n');
  if (eol == std::string_view::npos) {
    if (rest.size() <= kMaxHeaderLine) return false;
    read_ = buffer_.size();
    fail_header(frame);
    at_line_start_ = false;  // the skip goes on to the end of this line
    return true;
  }
  std::string_view line = rest.substr(0, eol);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  read_ += eol + 1;
  if (!line.empty()) {
    take_header(line, frame);
  } else if (in_block_) {
    if (content_length_)
      state_ = State::kBody;
    else
      fail_header(frame);
  }
  return true;
}

void FrameReader::take_header(std::string_view line, std::optional<Frame>& frame) {
  in_block_ = true;
  const size_t colon = line.find(':');
  const std::string_view name = trim(line.substr(0, colon));
  if (colon == std::string_view::npos || name.empty()) return fail_header(frame);
  // Other headers (Content-Type) say nothing that the server needs.
  if (!equals_ignoring_case(name, kLengthHeader.substr(0, kLengthHeader.size() - 1))) return;
  const std::optional<size_t> length = parse_length(trim(line.substr(colon + 1)));
  if (!length || (content_length_ && *content_length_ != *length)) return fail_header(frame);
  content_length_ = length;
}

void FrameReader::fail_header(std::optional<Frame>& frame) {
  frame = Frame{Frame::Kind::kBadHeader, {}};
  state_ = State::kSkipping;
  at_line_start_ = true;
  in_block_ = false;
  content_length_.reset();
}

bool FrameReader::read_body(std::optional<Frame>& frame) {
  const size_t length = content_length_.value_or(0);
  if (pending().size() < length) return false;
  frame = Frame{Frame::Kind::kBody, std::string(pending().substr(0, length))};
  read_ += length;
  state_ = State::kHeaders;
  in_block_ = false;
  content_length_.reset();
  return true;
}

bool FrameReader::skip_line() {
  const std::string_view rest = pending();
  if (at_line_start_) {
    const size_t n = std::min(rest.size(), kLengthHeader.size());
    if (equals_ignoring_case(rest.substr(0, n), kLengthHeader.substr(0, n))) {
      if (n < kLengthHeader.size()) return false;  // it may yet be the header: wait for more
      state_ = State::kHeaders;
      return true;
    }
  }
  const size_t eol = rest.find('\n');
  if (eol == std::string_view::npos) {
    read_ = buffer_.size();
    at_line_start_ = false;
    return false;
  }
  read_ += eol + 1;
  at_line_start_ = true;
  return true;
}

std::string frame_header(size_t body_size) { return "Content-Length: " + std::to_string(body_size) + "\r\n\r\n"; }

}  // namespace qbkit::lsp
