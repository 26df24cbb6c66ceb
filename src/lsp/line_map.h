// Lines of a single-byte text: where each starts, so that a byte offset and a place (a line
// counted by line feeds, a byte column) convert both ways in logarithmic time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qbkit::lsp {

// A place in script text: the line (from 0, counted by line feeds, as the compiler counts
// lines) and the byte column (from 0).
struct TextPosition {
  uint32_t line = 0;
  uint32_t column = 0;
  friend bool operator==(const TextPosition&, const TextPosition&) = default;
  friend auto operator<=>(const TextPosition&, const TextPosition&) = default;
};

class LineMap {
 public:
  LineMap() : starts_(1, 0) {}
  explicit LineMap(std::string_view text);

  size_t line_count() const { return starts_.size(); }
  size_t line_start(uint32_t line) const { return starts_[line]; }
  // The line's bytes in `text` (the text the map was made of), without its line end ("\n"
  // or "\r\n"). `line` must be below line_count().
  std::string_view line_text(std::string_view text, uint32_t line) const;

  // The place of `offset`; an offset past the end is taken as the end.
  TextPosition position_of(std::string_view text, size_t offset) const;
  // The offset of `position`: a column past the end of its line is taken as the line's end,
  // a line past the last as the end of the text.
  size_t offset_of(std::string_view text, TextPosition position) const;

 private:
  std::vector<size_t> starts_;  // the offset of each line's first byte; never empty
};

}  // namespace qbkit::lsp
