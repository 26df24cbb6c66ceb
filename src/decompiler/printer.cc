#include "decompiler/printer.h"

#include <algorithm>
#include <limits>
#include <type_traits>

#include "common/portability.h"
#include "qb/float_text.h"
#include "qb/operands.h"
#include "qb/tokens.h"
#include "qb/words.h"

namespace qbkit::decompiler {
namespace {

FixedText fixed_text(std::string_view s) {
  FixedText t;
  QBKIT_ASSERT(s.size() <= FixedText::kWidth);
  std::copy(s.begin(), s.end(), t.bytes);
  t.size = static_cast<uint8_t>(s.size());
  return t;
}

constexpr uint64_t kNoMarker = std::numeric_limits<uint64_t>::max();

// What one token can write besides its tabs, its name and what its operands hold: a marker
// (" :POS(n) "), a debug word ("endif[n] "), the call words, two line ends and the overshoot
// of the last piece.
constexpr size_t kTokenRoom = 128;
// Text per byte of a token's input at most: a float of 4 bytes prints up to 160 characters.
constexpr size_t kRoomPerInputByte = 48;

}  // namespace

TokenPrinter::TokenPrinter(const PrintSource& source, const PrintState& from, bool plain)
    : data_(source.data), scan_(source.scan), names_(source.names), settings_(source.settings),
      layout_(source.layout), plain_(plain), state_(from), cursor_(source.scan.starts, from.pos) {
  for (int b = 0; b < 256; ++b) {
    if (const qb::TokenInfo* info = qb::token_info(static_cast<uint8_t>(b))) word_[b] = fixed_text(info->text);
  }
  call_open_word_ = fixed_text(std::string(qb::kCallWord) + " $");
  call_close_word_ = fixed_text("$ " + std::string(qb::kArgumentsWord) + " ");
  const std::vector<TargetMarker>& markers = scan_.markers;
  const auto first = std::lower_bound(markers.begin(), markers.end(), from.pos,
                                      [](const TargetMarker& m, size_t pos) { return m.position < pos; });
  marker_ = static_cast<size_t>(first - markers.begin());
  next_marker_ = marker_ < markers.size() ? markers[marker_].position : kNoMarker;
  next_ = cursor_.take();
}

PrintState TokenPrinter::state() const {
  PrintState s = state_;
  if (group_.count > 0) s.pos = group_.pos[0];
  return s;
}

void TokenPrinter::print_header(TextWriter& out, std::string_view path) {
  out.put("#/ QB Script version 2\n%");
  out.put(qb::kIncludeWord);
  out.put(" \"");
  out.put(path);
  out.put(qb::kTableFileSuffix);
  out.put("\"   #/ Table file\n");
}

void TokenPrinter::print_footer(TextWriter& out) {
  if (scan_.unknown) {
    const size_t pos = scan_.end;
    print_markers(out, pos);
    out.put("Unknown instruction at ");
    // "%08x": eight digits, more when the value needs them.
    if (pos > 0xFFFFFFFFu)
      out.put_hex(pos);
    else
      out.put_hex8(static_cast<uint32_t>(pos));
    out.put(':');
    out.put_hex(data_[pos]);
  }
  out.put("\n\n#/ END\n");
}

bool TokenPrinter::print_until(TextWriter& out, size_t end, bool bounded) {
  if (group_.count > 0 && !print_group(out, bounded)) return false;
  while (next_ < end) {
    gather(end);
    if (!print_group(out, bounded)) return false;
  }
  state_.pos = end;
  return true;
}

// The names of a script are used in no order that memory likes: a look-up reads an index
// slot and then the name's text, both seldom in cache. Made for a group of tokens at once, in
// two rounds (first start loading the slots, then look up and start loading the texts), the
// loads of the whole group overlap (without the first round's loads the decompile of the
// benchmark's script takes 5% longer). Whether a token is a name is as good as random, so the
// names are listed with no branch on it: 41.2 ms against 45.5 ms for that decompile.
void TokenPrinter::gather(size_t end) {
  Group& g = group_;
  std::array<uint8_t, kGroupTokens + 1> name_token;
  size_t names = 0;
  // The cursor is a local while it runs, kept in registers (see print_tokens).
  TokenStarts::Cursor cursor = cursor_;
  size_t next = next_;
  size_t count = 0;
  // The stream was read once by the scan and has left the cache since; the lines 2 KiB ahead
  // of the group start loading now, which the processor's own prefetching does not do soon
  // enough: the whole decompile of the benchmark's script 3% faster (paired runs in both
  // orders, one processor).
  for (size_t line = 0; line < 4; ++line) qbkit::prefetch_ahead(&data_[next], 2048 + 64 * line);
  for (; count < kGroupTokens && next < end; next = cursor.take()) {
    g.pos[count] = next;
    name_token[names] = static_cast<uint8_t>(count);
    names += data_[next] == qb::kName ? 1 : 0;
    ++count;
  }
  cursor_ = cursor;
  next_ = next;
  g.count = count;
  g.end = std::min(next, end);
  for (size_t i = 0; i < names; ++i) names_.prefetch(load_u32le(&data_[g.pos[name_token[i]] + 1]));
  g.name_bytes = 0;
  for (size_t i = 0; i < names; ++i) {
    const size_t t = name_token[i];
    g.name[t] = names_.find(load_u32le(&data_[g.pos[t] + 1]));
    if (g.name[t]) {
      qbkit::prefetch(g.name[t]->data());
      g.name_bytes += g.name[t]->size();
    }
  }
}

// The most text the gathered group can write. Within the group the running indentation
// grows by at most one per token, and a token writes at most two runs of tabs.
size_t TokenPrinter::group_bound() const {
  const Group& g = group_;
  const size_t depth = static_cast<size_t>(std::max<int64_t>(state_.indent, 0)) + g.count;
  return kRoomPerInputByte * (g.end - g.pos[0]) + g.count * (kTokenRoom + 2 * depth) + g.name_bytes;
}

// One room check for the whole group; only a group whose text may not fit an empty buffer
// (a huge string, a deep nesting) is written piece by piece through the checks of `out`.
// Against a check before each piece: 41.7 ms against 47.5 ms for the whole decompile of the
// benchmark's script.
bool TokenPrinter::print_group(TextWriter& out, bool bounded) {
  QBKIT_ASSERT(!(plain_ && bounded));  // the plain path may flush at any piece
  const size_t bound = plain_ ? std::numeric_limits<size_t>::max() : group_bound();
  if (bound > out.available() && !plain_) {
    if (bounded) return false;
    out.flush();
  }
  if (bound <= out.available()) {
    RawText raw(out.cursor());
    print_tokens(raw);
    out.advance_to(raw.end());
  } else {
    print_tokens(out);
  }
  group_.count = 0;
  return true;
}

// The steps that are not inlined get copies of the cursor and the state, so that the
// addresses of the locals in print_tokens never leave it.
template <typename Out, typename Step>
QBKIT_ALWAYS_INLINE void out_of_line(Out& out, PrintState& st, Step step) {
  if constexpr (std::is_same_v<Out, RawText>) {
    RawText copy = out;
    PrintState state = st;
    step(copy, state);
    out = copy;
    st = state;
  } else {
    step(out, st);
  }
}

template <typename Out>
QBKIT_ALWAYS_INLINE void TokenPrinter::print_group_tokens(Out& out) {
  const Group& g = group_;
  PrintState st = state_;
  for (size_t t = 0; t < g.count; ++t) {
    const size_t pos = g.pos[t];
    if (pos >= next_marker_) out_of_line(out, st, [&](Out& o, PrintState&) { print_markers(o, pos); });
    const uint8_t op = data_[pos];
    // The most frequent tokens here, the rest through print_token.
    if (op == qb::kName) {
      print_name(out, st, pos, g.name[t]);
    } else if (op == qb::kLineBreak) {
      print_line_break(out, st, op, pos);
    } else if (const Layout::Word& word = layout_.word(op); word.word_only) {
      out.put(word_[op]);
      st.indent += word.delta;
      if (word.break_after) out.new_line(st.indent);
    } else {
      out_of_line(out, st, [&](Out& o, PrintState& s) { print_token(o, s, pos, g.name[t]); });
    }
    st.prev_op = op;
  }
  state_ = st;
}

// The state and the cursor live in locals while the group prints: the compiler then keeps
// them in registers, where a member would be read again after every byte written (a write
// through a char pointer may change any object). With the steps of names and line breaks
// inlined as well, the benchmark's script took 270 M instructions in all, where it took 324 M.
// The cursor held that way as well, its steps no longer wait on a store and a load of it:
// the whole decompile 1.7% faster (paired runs in both orders, one processor).
template <typename Out>
void TokenPrinter::print_tokens(Out& out) {
  if constexpr (std::is_same_v<Out, RawText>) {
    RawText cursor = out;
    print_group_tokens(cursor);
    out = cursor;
  } else {
    print_group_tokens(out);
  }
}

// The marker of a target at `pos`, ahead of its token; markers of targets that lie inside
// the operands of the tokens before are passed by.
template <typename Out>
void TokenPrinter::print_markers(Out& out, size_t pos) {
  const std::vector<TargetMarker>& markers = scan_.markers;
  while (marker_ < markers.size() && markers[marker_].position < pos) ++marker_;
  if (marker_ < markers.size() && markers[marker_].position == pos) {
    out.put(" :");
    out.put(qb::kPosWord);
    out.put('(');
    out.put_dec(markers[marker_].index);
    out.put(") ");
    ++marker_;
  }
  next_marker_ = marker_ < markers.size() ? markers[marker_].position : kNoMarker;
}

template <typename Out>
void TokenPrinter::print_token(Out& out, PrintState& st, size_t pos, const std::optional<std::string_view>& name) {
  const uint8_t op = data_[pos];
  switch (op) {
    case qb::kLineBreak:
    case qb::kLineValue:
      print_line_break(out, st, op, pos);
      break;
    case qb::kName:
      print_name(out, st, pos, name);
      break;
    case qb::kNameRecord:
      break;  // its name is in the index; it has no text
    case qb::kInteger: {
      const uint32_t value = load_u32le(&data_[pos + 1]);
      out.put(word_[op]);
      out.put_dec(value);
      out.put(',');
      out.put_hex8(value);
      out.put(')');
      break;
    }
    case qb::kFloat:
    case qb::kVector2:
    case qb::kVector3:
      print_floats(out, op, pos);
      break;
    case qb::kString:
    case qb::kLocalString:
      print_string(out, op, pos);
      break;
    case qb::kBreakTo:
      out.new_line(st.indent - 1);
      out.put(word_[op]);
      out.put_dec(scan_.jump_indices[st.jump++]);
      out.put(')');
      out.new_line(st.indent);
      break;
    case qb::kSelect2F:
    case qb::kSelect37:
    case qb::kSelect40:
    case qb::kSelect41:
      print_select(out, st, op, pos);
      break;
    default:
      print_word(out, st, op);
      break;
  }
  st.prev_op = op;
}

// The line-break rule: a line break closes an open call, a second line break in a row
// stands one further tab left and lowers the depth, and the line of a closing word stands
// one tab left.
template <typename Out>
QBKIT_ALWAYS_INLINE void TokenPrinter::print_line_break(Out& out, PrintState& st, uint8_t op, size_t pos) {
  const int64_t delta = Layout::break_delta(st);
  int64_t adjust = delta;
  const size_t next = pos + (op == qb::kLineValue ? 5 : 1);
  if (next < data_.size() && layout_.closes_line(data_[next])) --adjust;
  st.call_open = false;
  out.new_line(st.indent + adjust);
  out.put(word_[op]);
  if (op == qb::kLineValue) {
    out.put_hex8(load_u32le(&data_[pos + 1]));
    out.put(')');
  }
  st.indent += delta;
}

// The name between two '$'; a name directly followed by another name, with no call open,
// opens a call: the call word, the name, the arguments word, a line end, and the following
// names one tab deeper until the next line break.
template <typename Out>
QBKIT_ALWAYS_INLINE void TokenPrinter::print_name(Out& out, PrintState& st, size_t pos, const std::optional<std::string_view>& name) {
  const bool call = Layout::opens_call(st, pos + 5 < data_.size() ? data_[pos + 5] : -1);
  if (call)
    out.put(call_open_word_);
  else
    out.put('$');
  if (name) {
    out.put_padded(*name);
  } else {
    // No name for it: the four operand bytes in file order.
    out.put('[');
    out.put_hex8(static_cast<uint32_t>(data_[pos + 1]) << 24 | static_cast<uint32_t>(data_[pos + 2]) << 16 |
                 static_cast<uint32_t>(data_[pos + 3]) << 8 | data_[pos + 4]);
    out.put(']');
  }
  if (call) {
    out.put(call_close_word_);
    st.call_open = true;
    st.indent += 1;
    out.new_line(st.indent);
  } else {
    out.put('$');
  }
}

// A float or a vector: its word, then one, two or three floats separated by commas, then ")".
template <typename Out>
void TokenPrinter::print_floats(Out& out, uint8_t op, size_t pos) {
  out.put(word_[op]);
  const size_t components = op == qb::kFloat ? 1 : op == qb::kVector2 ? 2 : 3;
  for (size_t i = 0; i < components; ++i) {
    if (i > 0) out.put(',');
    char buf[qb::kFloatTextCapacity];
    const float value = bits_to_float(load_u32le(&data_[pos + 1 + 4 * i]));
    out.put(plain_ ? qb::format_float_reference(value, buf) : qb::format_float(value, buf));
  }
  out.put(')');
}

// The string token's head, the stored length less its zero byte, then the text up to its
// first zero byte in double quotes, as stored.
template <typename Out>
void TokenPrinter::print_string(Out& out, uint8_t op, size_t pos) {
  const qb::StringOperand s = *qb::read_string_operand(data_, pos + 1);
  out.put(word_[op]);
  out.put_dec(static_cast<uint32_t>(s.size - 5));
  out.put(',');
  out.put('"');
  out.put(s.text);
  out.put('"');
  out.put(')');
}

// The select's head, its opcode, its count N, each byte of the N pairs in hexadecimal, and
// one offset reference per branch. A select nests one step in the standard layout.
template <typename Out>
void TokenPrinter::print_select(Out& out, PrintState& st, uint8_t op, size_t pos) {
  const auto count = static_cast<int32_t>(load_u32le(&data_[pos + 1]));
  out.put(word_[op]);
  out.put_hex2(op);
  out.put(',');
  out.put_dec(count);
  out.put(',');
  const size_t branches = count > 0 ? static_cast<size_t>(count) : 0;
  const size_t pairs = pos + 5;
  for (size_t i = 0; i < 2 * branches; ++i) {
    out.put(' ');
    out.put_hex2(data_[pairs + i]);
  }
  out.put(") ");
  for (size_t i = 0; i < branches; ++i) {
    out.put(':');
    out.put(qb::kOffsetWord);
    out.put('(');
    out.put_dec(scan_.jump_indices[st.jump++]);
    out.put(')');
  }
  st.indent += layout_.word(op).delta;
  out.new_line(st.indent);
}

// A token that prints a fixed word, or under -debug the counter form of if, else, endif and
// return; its operands, if any, are short offsets or an inline endcase, which the text does
// not show.
template <typename Out>
void TokenPrinter::print_word(Out& out, PrintState& st, uint8_t op) {
  if (!settings_.debug) {
    out.put(word_[op]);
  } else if (op == qb::kIf) {
    ++st.debug_counter;
    put_debug_word(out, st, op, "] ");
  } else if (op == qb::kElse) {
    put_debug_word(out, st, op, "] ");
  } else if (op == qb::kEndIf) {
    put_debug_word(out, st, op, "] ");
    --st.debug_counter;
  } else if (op == qb::kReturn) {
    put_debug_word(out, st, op, "]");
  } else {
    out.put(word_[op]);
  }
  const Layout::Word& word = layout_.word(op);
  st.indent += word.delta;
  if (word.break_after) out.new_line(st.indent);
}

// The debug form of a keyword: its word, "[", the counter, then `close`.
template <typename Out>
void TokenPrinter::put_debug_word(Out& out, PrintState& st, uint8_t op, std::string_view close) {
  out.put(qb::word_of(static_cast<qb::Op>(op)));
  out.put('[');
  out.put_dec(st.debug_counter);
  out.put(close);
}

void print_tokens(const PrintSource& source, TextWriter& out, bool plain) {
  TokenPrinter(source, PrintState{}, plain).print_until(out, source.scan.end, false);
}

}  // namespace qbkit::decompiler
