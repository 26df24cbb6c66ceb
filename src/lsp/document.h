// The texts open in the editor, as the compiler reads them, and the two ways of counting
// columns: the protocol's UTF-16 units and the script's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/line_map.h"
#include "lsp/text_codec.h"

namespace qbkit::lsp {

// A place as the protocol gives it: the same line, the column in UTF-16 units.
struct Position {
  uint32_t line = 0;
  uint32_t character = 0;
  friend bool operator==(const Position&, const Position&) = default;
};

class Document {
 public:
  Document(std::string uri, int64_t version, std::string_view utf8_text);

  const std::string& uri() const { return uri_; }
  int64_t version() const { return version_; }
  // One byte per character, as the compiler reads the file saved as ISO 8859-1.
  const std::string& text() const { return text_.bytes; }
  // The characters above U+00FF, each standing as kSubstituteByte in text().
  const std::vector<Substitution>& substitutions() const { return text_.substitutions; }

  // Between the protocol's columns and the text's. A place past the end of its line is
  // taken as the line's end, and one past the last line as the end of the text; a column
  // inside a character of two UTF-16 units is taken as that character's start.
  TextPosition to_text(Position position) const;
  Position to_protocol(TextPosition position) const;

  // Between places and byte offsets into text(); out-of-range places are taken as above.
  size_t offset_of(TextPosition position) const { return lines_.offset_of(text(), position); }
  TextPosition position_of(size_t offset) const { return lines_.position_of(text(), offset); }
  const LineMap& lines() const { return lines_; }

  // Replaces the text from `start` to `end` with `utf8_text`: a change that an editor sends
  // as an edit of a range rather than as the whole text.
  void replace(Position start, Position end, std::string_view utf8_text, int64_t version);

 private:
  // The line's bytes without its line end ("\n" or "\r\n").
  std::string_view line_text(uint32_t line) const { return lines_.line_text(text(), line); }
  // The substitutions of the characters of two UTF-16 units on `line`, before `end_offset`.
  uint32_t wide_characters_before(uint32_t line, size_t end_offset) const;

  std::string uri_;
  int64_t version_;
  SingleByteText text_;
  LineMap lines_;
};

// The documents the editor has opened, by URI, with the text of their last change.
class DocumentStore {
 public:
  // Opening a URI that is open already replaces its text.
  const Document& open(const std::string& uri, int64_t version, std::string_view utf8_text);
  // The document of `uri`, or nullptr when it is not open.
  const Document* find(const std::string& uri) const;
  Document* find(const std::string& uri);
  void close(const std::string& uri);

 private:
  std::map<std::string, Document, std::less<>> documents_;
};

}  // namespace qbkit::lsp
