// The texts of one compile, kept until it ends so that a diagnostic can be placed whenever it
// is made: the line and column of a position, and the order in which the compile reads
// positions of different texts (an included text is read where its "%include" stands).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/input_bytes.h"

namespace qbkit::compiler {

// Zero bytes kept after each text: the lexer's scans stop on the first, and read up to 16
// bytes at a time from any position up to it; a name's key reads 24 from its start.
inline constexpr size_t kTextPadding = 32;

struct Location {
  int line;
  int column;
};

// A position in one of the texts.
struct Place {
  uint32_t source;
  size_t offset;
};

class SourceSet {
 public:
  // Takes a text (and pads it with kTextPadding zero bytes)
  // and returns its number. `from` is the place of the "%include" that reads it; the main
  // text has none.
  uint32_t add(InputBytes text, std::string name, const Place* from);

  // The text without its padding; the padding follows it in memory.
  ByteSpan text(uint32_t id) const { return sources_[id].text; }
  const std::string& name(uint32_t id) const { return sources_[id].name; }
  uint32_t count() const { return static_cast<uint32_t>(sources_.size()); }
  // Whether another program changed the file of text `id` while it was being compiled.
  bool changed(uint32_t id) const { return sources_[id].text.changed(); }
  // The script text starts after the first `bytes` (a byte-order mark that was skipped).
  void skip_prefix(uint32_t id, size_t bytes) { sources_[id].start = bytes; }

  // The line and column of `offset`: every line feed before it counts, and columns count
  // bytes from 1 (on the first line, from the start). Counting resumes from the last
  // position asked for, so asking in the order of the text costs one pass.
  Location locate(uint32_t id, size_t offset) const;
  // Whether `a` is read before `b`.
  bool before(Place a, Place b) const;

 private:
  struct Source {
    InputBytes text;  // padded
    std::string name;
    std::vector<size_t> chain;  // the offsets of the "%include" lines that lead here, outermost first
    size_t start = 0;
    // Where locate() last stopped: an offset and its line and line start.
    mutable size_t counted = 0;
    mutable int line = 1;
    mutable size_t line_start = 0;
  };
  std::vector<Source> sources_;
};

}  // namespace qbkit::compiler
