#include "lsp/document.h"

#include <algorithm>
#include <utility>

namespace qbkit::lsp {
namespace {

// The first substitution at or after `offset`.
std::vector<Substitution>::const_iterator first_at(const std::vector<Substitution>& subs, size_t offset) {
  return std::lower_bound(subs.begin(), subs.end(), offset,
                          [](const Substitution& s, size_t at) { return s.offset < at; });
}

bool takes_two_units(const Substitution& s) { return s.code_point > 0xFFFF; }

}  // namespace

Document::Document(std::string uri, int64_t version, std::string_view utf8_text)
    : uri_(std::move(uri)), version_(version), text_(utf8_to_single_byte(utf8_text)) {
  index_lines();
}

void Document::index_lines() {
  const std::string& text = text_.bytes;
  line_starts_.assign(1, 0);
  for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
    line_starts_.push_back(at + 1);
}

std::string_view Document::line_text(uint32_t line) const {
  const std::string_view text = text_.bytes;
  const size_t start = line_starts_[line];
  if (line + 1 == line_starts_.size()) return text.substr(start);
  size_t end = line_starts_[line + 1] - 1;  // the line feed
  if (end > start && text[end - 1] == '\r') --end;
  return text.substr(start, end - start);
}

uint32_t Document::wide_characters_before(uint32_t line, size_t end_offset) const {
  const std::vector<Substitution>& subs = text_.substitutions;
  uint32_t count = 0;
  for (auto it = first_at(subs, line_starts_[line]); it != subs.end() && it->offset < end_offset; ++it)
    count += takes_two_units(*it);
  return count;
}

TextPosition Document::to_text(Position position) const {
  if (position.line >= line_starts_.size()) return position_of(text_.bytes.size());
  const uint32_t line = position.line;
  const size_t start = line_starts_[line];
  const size_t length = line_text(line).size();
  const std::vector<Substitution>& subs = text_.substitutions;
  // Each character of two units before the place takes one unit more than its byte.
  uint32_t extra = 0;
  for (auto it = first_at(subs, start); it != subs.end() && it->offset < start + length; ++it) {
    if (!takes_two_units(*it)) continue;
    const size_t column = it->offset - start;
    if (position.character <= column + extra) break;
    if (position.character == column + extra + 1) return {line, static_cast<uint32_t>(column)};
    ++extra;
  }
  const size_t column = std::min<size_t>(position.character - extra, length);
  return {line, static_cast<uint32_t>(column)};
}

Position Document::to_protocol(TextPosition position) const {
  if (position.line >= line_starts_.size()) position = position_of(text_.bytes.size());
  const size_t start = line_starts_[position.line];
  const size_t column = std::min<size_t>(position.column, line_text(position.line).size());
  return {position.line, static_cast<uint32_t>(column + wide_characters_before(position.line, start + column))};
}

size_t Document::offset_of(TextPosition position) const {
  if (position.line >= line_starts_.size()) return text_.bytes.size();
  return line_starts_[position.line] + std::min<size_t>(position.column, line_text(position.line).size());
}

TextPosition Document::position_of(size_t offset) const {
  offset = std::min(offset, text_.bytes.size());
  const auto next = std::upper_bound(line_starts_.begin(), line_starts_.end(), offset);
  const auto line = static_cast<uint32_t>(next - line_starts_.begin() - 1);
  return {line, static_cast<uint32_t>(offset - line_starts_[line])};
}

void Document::replace(Position start, Position end, std::string_view utf8_text, int64_t version) {
  size_t from = offset_of(to_text(start));
  size_t to = offset_of(to_text(end));
  if (to < from) std::swap(from, to);
  SingleByteText inserted = utf8_to_single_byte(utf8_text);
  // The substitutions before the range stay, those of the new text come next, and those
  // after the range move with the bytes that follow it.
  std::vector<Substitution> subs(text_.substitutions.cbegin(), first_at(text_.substitutions, from));
  for (const Substitution& s : inserted.substitutions) subs.push_back({s.offset + from, s.code_point});
  for (auto it = first_at(text_.substitutions, to); it != text_.substitutions.cend(); ++it)
    subs.push_back({it->offset - to + from + inserted.bytes.size(), it->code_point});
  text_.bytes.replace(from, to - from, inserted.bytes);
  text_.substitutions = std::move(subs);
  version_ = version;
  index_lines();
}

const Document& DocumentStore::open(const std::string& uri, int64_t version, std::string_view utf8_text) {
  return documents_.insert_or_assign(uri, Document(uri, version, utf8_text)).first->second;
}

const Document* DocumentStore::find(const std::string& uri) const {
  const auto it = documents_.find(uri);
  return it == documents_.end() ? nullptr : &it->second;
}

Document* DocumentStore::find(const std::string& uri) {
  const auto it = documents_.find(uri);
  return it == documents_.end() ? nullptr : &it->second;
}

void DocumentStore::close(const std::string& uri) { documents_.erase(uri); }

}  // namespace qbkit::lsp
