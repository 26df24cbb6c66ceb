#include "lsp/line_map.h"

#include <algorithm>

namespace qbkit::lsp {

LineMap::LineMap(std::string_view text) : starts_(1, 0) {
  for (size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1))
    starts_.push_back(at + 1);
}

std::string_view LineMap::line_text(std::string_view text, uint32_t line) const {
  const size_t start = std::min(starts_[line], text.size());
  if (line + 1 == starts_.size()) return text.substr(start);
  size_t end = starts_[line + 1] - 1;  // the line feed
  if (end > start && text[end - 1] == '\r') --end;
  return text.substr(start, end - start);
}

TextPosition LineMap::position_of(std::string_view text, size_t offset) const {
  offset = std::min(offset, text.size());
  const auto next = std::upper_bound(starts_.begin(), starts_.end(), offset);
  const auto line = static_cast<uint32_t>(next - starts_.begin() - 1);
  return {line, static_cast<uint32_t>(offset - starts_[line])};
}

size_t LineMap::offset_of(std::string_view text, TextPosition position) const {
  if (position.line >= starts_.size()) return text.size();
  return starts_[position.line] + std::min<size_t>(position.column, line_text(text, position.line).size());
}

}  // namespace qbkit::lsp
