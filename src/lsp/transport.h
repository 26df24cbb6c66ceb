// The framing of the language server protocol: each message is a header block of
// "Name: value" lines ended by an empty line, then a body of exactly as many bytes as its
// Content-Length header gives.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qbkit::lsp {

// The largest body taken: an editor sends whole texts, and the game's largest is far smaller.
inline constexpr size_t kMaxBodySize = size_t{64} << 20;

// One unit of input: a whole body, or a header block that gives no usable length (the
// server answers it with a parse error).
struct Frame {
  enum class Kind { kBody, kBadHeader };
  Kind kind = Kind::kBody;
  std::string body;
};

// Cuts a byte stream into frames. Bytes are fed as they arrive, in pieces of any size, and
// next() gives each frame as soon as all its bytes are in.
//
// Header names are matched in any case and lines may end in "\r\n" or "\n". A header block
// without a valid Content-Length (digits, at most kMaxBodySize), or with a line that is no
// "Name: value" header, is a bad header: after it, input is skipped up to the next line that
// starts with "Content-Length:", where reading starts again. Empty lines before a header
// block are skipped.
class FrameReader {
 public:
  void feed(std::string_view bytes);
  std::optional<Frame> next();

 private:
  enum class State { kHeaders, kBody, kSkipping };

  // Each step consumes input and may give a frame; false when it needs more input.
  bool read_header_line(std::optional<Frame>& frame);
  bool read_body(std::optional<Frame>& frame);
  bool skip_line();
  void take_header(std::string_view line, std::optional<Frame>& frame);
  void fail_header(std::optional<Frame>& frame);
  std::string_view pending() const { return std::string_view(buffer_).substr(read_); }

  std::string buffer_;
  size_t read_ = 0;  // bytes of buffer_ consumed
  State state_ = State::kHeaders;
  bool in_block_ = false;                 // a header line of this block was read
  std::optional<size_t> content_length_;  // of the block being read
  bool at_line_start_ = true;             // while skipping
};

// The header block that goes before a body of `body_size` bytes.
std::string frame_header(size_t body_size);

}  // namespace qbkit::lsp
