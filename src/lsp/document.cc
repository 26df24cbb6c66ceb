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
    : uri_(std::move(uri)), version_(version), text_(utf8_to_single_byte(utf8_text)), lines_(text_.bytes) {}

uint32_t Document::wide_characters_before(uint32_t line, size_t end_offset) const {
  const std::vector<Substitution>& subs = text_.substitutions;
  uint32_t count = 0;
  for (auto it = first_at(subs, lines_.line_start(line)); it != subs.end() && it->offset < end_offset; ++it)
    count += takes_two_units(*it);
  return count;
}

TextPosition Document::to_text(Position position) const {
  if (position.line >= lines_.line_count()) return position_of(text_.bytes.size());
  const uint32_t line = position.line;
  const size_t start = lines_.line_start(line);
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
  if (position.line >= lines_.line_count()) position = position_of(text_.bytes.size());
  const size_t start = lines_.line_start(position.line);
  const size_t column = std::min<size_t>(position.column, line_text(position.line).size());
  return {position.line, static_cast<uint32_t>(column + wide_characters_before(position.line, start + column))};
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
  lines_ = LineMap(text_.bytes);
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
