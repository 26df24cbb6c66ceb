// How each token moves the layout of the text: the running indentation, the open call and the
// debug counter. The printer applies these rules as it writes each token; the scan applies them
// ahead of a print on two processors, to know the state where each chunk of the text starts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/settings.h"
#include "qb/tokens.h"

namespace qbkit::decompiler {

// The state of the layout before a token, and the token's places in the scan's lists.
struct PrintState {
  size_t pos = 0;             // the position of the token
  int64_t indent = 0;         // the running indentation; may fall below zero
  bool call_open = false;     // a name took the call form and no line break followed yet
  int prev_op = -1;           // the opcode of the token before; -1 for none
  int64_t debug_counter = 0;  // wide enough that no stream can overflow it
  size_t jump = 0;            // the next entry of StreamScan::jump_indices
};

class Layout {
 public:
  explicit Layout(const Settings& settings);

  // A token's own part in the layout.
  struct Word {
    int8_t delta = 0;          // the change of the running indentation after it
    int8_t debug_step = 0;     // the change of the debug counter by it: if +1, endif -1
    bool break_after = false;  // a line end follows it
    bool word_only = false;    // it prints its word and nothing else
    uint8_t kind = 0;          // kBreakKind, kNameKind or 0
  };
  static constexpr uint8_t kBreakKind = 1;  // a line-break token, 0x01 or 0x02
  static constexpr uint8_t kNameKind = 2;   // a name token
  const Word& word(uint8_t op) const { return words_[op]; }

  // Whether the line of a line break directly before the token stands one tab left.
  bool closes_line(uint8_t op) const { return closes_line_[op]; }

  // The change of the depth after a line-break token (0x01 or 0x02): an open call closes, and
  // a second line break in a row lowers the depth.
  static int64_t break_delta(const PrintState& st) {
    return -int64_t{st.call_open} - int64_t{st.prev_op == qb::kLineBreak || st.prev_op == qb::kLineValue};
  }

  // Whether a name token takes the call form: no call is open and the byte after it, `next`
  // (-1: none), starts another name.
  static bool opens_call(const PrintState& st, int next) { return !st.call_open && next == qb::kName; }

 private:
  void set(uint8_t op, int delta, bool break_after = false);

  std::array<Word, 256> words_{};
  std::array<bool, 256> closes_line_{};
};

// The layout state before a token, from sums over the tokens before it, with no branch on the
// kind of token: the scan keeps them for a print in chunks. The depth is the sum of the words'
// changes, plus one for each call opened, less one for each call that a line break closed
// (together: whether a call is open now) and one for each line break directly after another.
// A call is open when, after the last line break, a name came directly before a name. Kept
// for every token, they cost the scan of the benchmark's 7.8 MB script 0.5 ms of its 8.8.
class LayoutSums {
 public:
  explicit LayoutSums(const Layout& layout) : layout_(layout) {}

  // The kinds are bits, combined with & and |: the compiler makes no branch of them, which
  // the kind of token would mispredict. `pair` holds the kinds that this token shares with the
  // one before: two line breaks in a row, or two names, the first of which opens a call
  // unless one is open. The open call is kept in the name's bit.
  void add(uint8_t op) {
    const Layout::Word& w = layout_.word(op);
    const unsigned pair = w.kind & prev_kind_;
    words_ += w.delta;
    debug_counter_ += w.debug_step;
    breaks_after_breaks_ += pair & Layout::kBreakKind;
    call_open_ = (call_open_ | pair) & ~((w.kind & Layout::kBreakKind) * Layout::kNameKind);
    prev_kind_ = w.kind;
    prev_op_ = op;
  }

  // The state before the next token, `op` at `pos`, whose jumps start at entry `jump`. A name
  // just before that token opened a call when the token is a name too.
  PrintState state(size_t pos, uint8_t op, size_t jump) const {
    const bool call_open = ((call_open_ | (prev_kind_ & layout_.word(op).kind)) & Layout::kNameKind) != 0;
    return {pos, words_ + int64_t{call_open} - breaks_after_breaks_, call_open, prev_op_, debug_counter_, jump};
  }

 private:
  const Layout& layout_;
  int64_t words_ = 0;
  int64_t breaks_after_breaks_ = 0;
  int64_t debug_counter_ = 0;
  unsigned call_open_ = 0;  // kNameKind when a call is open
  unsigned prev_kind_ = 0;
  int prev_op_ = -1;
};

}  // namespace qbkit::decompiler
