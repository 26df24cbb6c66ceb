// The printing pass: the text of each token of a scanned stream, with the header, the line
// breaks and tabs of the layout, the jump-target markers and the footer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/bytes.h"
#include "common/settings.h"
#include "decompiler/layout.h"
#include "decompiler/name_index.h"
#include "decompiler/stream_scan.h"
#include "decompiler/text_out.h"
#include "decompiler/text_writer.h"

namespace qbkit::decompiler {

// What a print reads: the stream, its scan (of the same layout) and the index of its names, the
// settings and their layout rules.
struct PrintSource {
  ByteSpan data;
  const StreamScan& scan;
  const NameIndex& names;
  const Settings& settings;
  const Layout& layout;
};

// Prints the tokens of a scanned stream from a given state on, in groups: the tokens of a group
// are found first, their names looked up together, and the group is written with one check of
// the room in the output for all of it.
class TokenPrinter {
 public:
  // `plain` prints every piece through the checked writer and every float through
  // qb::format_float_reference: the plain path that the fast one is compared with.
  TokenPrinter(const PrintSource& source, const PrintState& from, bool plain = false);

  // Prints the tokens from the current one up to `end` (a token start, or scan.end). When
  // `bounded`, stops before the first group that does not fit the free space of `out` and
  // returns false; the rest can then be printed to another writer. Else flushes `out` as it
  // fills and returns true.
  bool print_until(TextWriter& out, size_t end, bool bounded);

  // The state after the tokens printed so far.
  PrintState state() const;

  // The header lines, before the first token; `path` is the name the include line gives the
  // table file.
  static void print_header(TextWriter& out, std::string_view path);
  // After the last token (a printer made at scan.end): the unknown-instruction record when the
  // scan stopped at a token it could not read, then the footer.
  void print_footer(TextWriter& out);

 private:
  static constexpr size_t kGroupTokens = 64;
  struct Group {
    size_t count = 0;
    size_t end = 0;  // where the input of the group's last token ends
    size_t name_bytes = 0;
    std::array<size_t, kGroupTokens> pos;
    std::array<std::optional<std::string_view>, kGroupTokens> name;
  };
  void gather(size_t end);
  size_t group_bound() const;
  bool print_group(TextWriter& out, bool bounded);
  template <typename Out>
  void print_tokens(Out& out);
  template <typename Out>
  void print_group_tokens(Out& out);
  template <typename Out>
  void print_token(Out& out, PrintState& st, size_t pos, const std::optional<std::string_view>& name);
  template <typename Out>
  void print_markers(Out& out, size_t pos);
  template <typename Out>
  void print_line_break(Out& out, PrintState& st, uint8_t op, size_t pos);
  template <typename Out>
  void print_name(Out& out, PrintState& st, size_t pos, const std::optional<std::string_view>& name);
  template <typename Out>
  void print_floats(Out& out, uint8_t op, size_t pos);
  template <typename Out>
  void print_string(Out& out, uint8_t op, size_t pos);
  template <typename Out>
  void print_select(Out& out, PrintState& st, uint8_t op, size_t pos);
  template <typename Out>
  void print_word(Out& out, PrintState& st, uint8_t op);
  template <typename Out>
  void put_debug_word(Out& out, PrintState& st, uint8_t op, std::string_view close);

  ByteSpan data_;
  const StreamScan& scan_;
  const NameIndex& names_;
  const Settings& settings_;
  const Layout& layout_;
  const bool plain_;
  std::array<FixedText, 256> word_{};
  FixedText call_open_word_;             // "call $"
  FixedText call_close_word_;            // "$ arguments "

  PrintState state_;
  TokenStarts::Cursor cursor_;
  size_t next_ = 0;         // the position of the next token not yet gathered
  size_t marker_ = 0;       // the next entry of scan.markers
  uint64_t next_marker_;    // its position, or the largest value when none is left
  Group group_;             // gathered, not yet printed
};

// Writes the tokens of the stream to `out`, on one thread.
void print_tokens(const PrintSource& source, TextWriter& out, bool plain = false);

}  // namespace qbkit::decompiler
