// A script text that the engine knows, with its lines and its names: an open document, a
// text it includes, or a file of the workspace.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/engine.h"
#include "lsp/line_map.h"
#include "lsp/script_scan.h"

namespace qbkit::lsp {

struct ScannedText {
  ScannedText(std::string uri_, std::string text_) : uri(std::move(uri_)), text(std::move(text_)), lines(text), scan(scan_script(text)) {}

  std::string uri;
  std::string text;
  LineMap lines;
  ScriptScan scan;

  TextPosition position(size_t offset) const { return lines.position_of(text, offset); }
  TextRange range(Span span) const { return {position(span.start), position(span.end)}; }
  Location location(Span span) const { return {uri, range(span)}; }
  std::string_view operator[](Span span) const { return span.in(text); }
  // The line that holds `offset`, without its line end.
  std::string_view line_at(size_t offset) const { return lines.line_text(text, position(offset).line); }
};

// Texts are shared: an open document's text is the workspace index's too, and a table file
// that two scripts include is scanned once.
using SharedText = std::shared_ptr<const ScannedText>;

// A text that a check of an open document read, under the name the compile knows it by.
struct ReadText {
  std::string name;
  SharedText text;
};
// The texts of a check: the document first, then those it includes in the order read.
using ReadTexts = std::vector<ReadText>;

}  // namespace qbkit::lsp
