#include "decompiler/printer.h"

#include <array>
#include <optional>

#include "common/portability.h"
#include "decompiler/jump_targets.h"
#include "decompiler/token_sizes.h"
#include "qb/float_text.h"
#include "qb/operands.h"
#include "qb/tokens.h"
#include "qb/words.h"

namespace qbkit::decompiler {
namespace {

// Where a token that prints a fixed word leaves the layout: the change of the running
// indentation after it, and whether a line end follows it.
struct WordLayout {
  int8_t delta = 0;
  bool break_after = false;
};

// One run over one stream. Every token before scan.end was found whole by the scan, so its
// operands are read here without further bounds checks.
class Printer {
 public:
  Printer(ByteSpan data, const StreamScan& scan, const NameIndex& names, const Settings& settings,
          TextWriter& out)
      : data_(data), scan_(scan), settings_(settings), out_(out), sizes_(settings.thug1),
        targets_(data.size()), names_(names) {
    for (int b = 0; b < 256; ++b) {
      if (const qb::TokenInfo* info = qb::token_info(static_cast<uint8_t>(b))) text_[b] = info->text;
    }
    set_layout(qb::kStructOpen, 1);
    set_layout(qb::kArrayOpen, 1);
    set_layout(qb::kFunction, 1);
    set_layout(qb::kDoIf, 1);
    set_layout(qb::kSwitch, 1);
    set_layout(qb::kIf, 1);
    set_layout(qb::kStructClose, -1);
    set_layout(qb::kArrayClose, -1);
    set_layout(qb::kLoopTo, -1);
    set_layout(qb::kEndFunction, -1);
    set_layout(qb::kEndIf, -1);
    set_layout(qb::kWhile, 1, true);
    set_layout(qb::kContinue, 0, true);
    set_layout(qb::kReturn, 0, true);
    set_layout(qb::kEndCase, -1, true);
    // The THUG1 switch: only the switch nests, its branches stand at the depth of its body.
    set_layout(qb::kCase, settings.thug1 ? 0 : 1);
    set_layout(qb::kDefault, settings.thug1 ? 0 : 1);
    set_layout(qb::kEndSwitch, settings.thug1 ? -1 : -2, true);
  }

  void run(std::string_view path) {
    out_.put("#/ QB Script version 2\n%");
    out_.put(qb::kIncludeWord);
    out_.put(" \"");
    out_.put(path);
    out_.put(qb::kTableFileSuffix);
    out_.put("\"   #/ Table file\n");

    size_t pos = 0;
    while (pos < scan_.end) pos = print_block(pos);
    if (scan_.unknown) {
      mark_target(pos);
      out_.put("Unknown instruction at ");
      put_hex_at_least8(pos);
      out_.put(':');
      out_.put_hex(data_[pos]);
    }

    out_.put("\n\n#/ END\n");
  }

 private:
  void set_layout(uint8_t op, int delta, bool break_after = false) {
    layout_[op] = WordLayout{static_cast<int8_t>(delta), break_after};
  }

  // "%08x": eight digits, more when the value needs them.
  void put_hex_at_least8(uint64_t value) {
    if (value > 0xFFFFFFFFu)
      out_.put_hex(value);
    else
      out_.put_hex8(static_cast<uint32_t>(value));
  }

  // The byte after a token, when the data holds one.
  std::optional<uint8_t> byte_at(size_t pos) const {
    if (pos < data_.size()) return data_[pos];
    return std::nullopt;
  }

  // A jump recorded this position before: its marker stands ahead of the token.
  void mark_target(size_t pos) {
    if (std::optional<uint32_t> index = targets_.find_target(pos)) {
      out_.put(" :");
      out_.put(qb::kPosWord);
      out_.put('(');
      out_.put_dec(*index);
      out_.put(") ");
    }
  }

  // The line break before a token: its line stands `adjust` tabs off the running depth.
  void break_before(int64_t adjust) { out_.new_line(indent_ + adjust); }
  // The line break after a token, at the running depth (its delta already added).
  void break_after() { out_.new_line(indent_); }

  // The index of the target of the long offset at data[pos], counted from its end.
  uint32_t long_offset_target(size_t pos) {
    const auto offset = static_cast<int32_t>(load_u32le(&data_[pos]));
    return targets_.index_of_target(static_cast<uint64_t>(static_cast<int64_t>(pos) + 4 + offset));
  }

  void put_float_at(size_t pos) {
    char buf[qb::kFloatTextCapacity];
    out_.put(qb::format_float(bits_to_float(load_u32le(&data_[pos])), buf));
  }

  // The debug form of a keyword: its word, "[", the counter, then `close`.
  void put_debug_word(qb::Op op, std::string_view close) {
    out_.put(qb::word_of(op));
    out_.put('[');
    out_.put_dec(debug_counter_);
    out_.put(close);
  }

  size_t print_block(size_t pos);
  void print_token(uint8_t op, size_t pos, size_t size);
  void print_line_break(uint8_t op, size_t pos, size_t size);
  void print_name(size_t pos);
  void print_integer(size_t pos);
  void print_floats(uint8_t op, size_t pos);
  void print_string(uint8_t op, size_t pos);
  void print_select(uint8_t op, size_t pos);
  void print_word(uint8_t op);

  // The tokens printed together: found first, their names looked up next, then printed.
  static constexpr size_t kBlockTokens = 64;
  struct Block {
    std::array<size_t, kBlockTokens> pos;
    std::array<size_t, kBlockTokens> size;
    std::array<size_t, kBlockTokens> name_token;  // indexes of the name tokens
    std::array<std::optional<std::string_view>, kBlockTokens> name;
  };

  ByteSpan data_;
  const StreamScan& scan_;
  const Settings& settings_;
  TextWriter& out_;
  const TokenSizes sizes_;
  JumpTargets targets_;
  const NameIndex& names_;
  std::array<std::string_view, 256> text_{};
  std::array<WordLayout, 256> layout_{};
  int64_t indent_ = 0;  // the running indentation; may fall below zero
  bool call_open_ = false;
  int prev_op_ = -1;           // none before the first token
  int64_t debug_counter_ = 0;  // wide enough that no stream can overflow it
  Block block_;
  std::optional<std::string_view> name_;  // the looked-up name of the name token being printed
};

// The names of a script are used in no order that memory likes: a look-up reads an index
// slot and then the name's text, both seldom in cache. Made one at a time as each token is
// printed, the printer would wait for both on every name token; made for a block of tokens
// at once, in two rounds (first start loading the slots, then look up and start loading the
// texts), the loads of the whole block overlap, and printing waits at most once per round.
size_t Printer::print_block(size_t pos) {
  Block& b = block_;
  size_t tokens = 0;
  size_t names = 0;
  for (; tokens < kBlockTokens && pos < scan_.end; ++tokens) {
    b.pos[tokens] = pos;
    b.size[tokens] = sizes_.size_at(data_, pos);
    if (data_[pos] == qb::kName) {
      names_.prefetch(load_u32le(&data_[pos + 1]));
      b.name_token[names++] = tokens;
    }
    pos += b.size[tokens];
  }
  for (size_t i = 0; i < names; ++i) {
    const size_t t = b.name_token[i];
    b.name[t] = names_.find(load_u32le(&data_[b.pos[t] + 1]));
    if (b.name[t]) qbkit::prefetch(b.name[t]->data());
  }
  for (size_t t = 0; t < tokens; ++t) {
    const size_t at = b.pos[t];
    const uint8_t op = data_[at];
    mark_target(at);
    if (op == qb::kName) name_ = b.name[t];
    print_token(op, at, b.size[t]);
    prev_op_ = op;
  }
  return pos;
}

void Printer::print_token(uint8_t op, size_t pos, size_t size) {
  switch (op) {
    case qb::kEnd:
      out_.put(text_[op]);
      break_after();
      return;
    case qb::kLineBreak:
    case qb::kLineValue:
      print_line_break(op, pos, size);
      return;
    case qb::kName:
      print_name(pos);
      return;
    case qb::kInteger:
      print_integer(pos);
      return;
    case qb::kFloat:
    case qb::kVector2:
    case qb::kVector3:
      print_floats(op, pos);
      return;
    case qb::kString:
    case qb::kLocalString:
      print_string(op, pos);
      return;
    case qb::kNameRecord:
      return;  // its name is in the index; it has no text
    case qb::kBreakTo:
      break_before(-1);
      out_.put(text_[op]);
      out_.put_dec(long_offset_target(pos + 1));
      out_.put(')');
      break_after();
      return;
    case qb::kSelect2F:
    case qb::kSelect37:
    case qb::kSelect40:
    case qb::kSelect41:
      print_select(op, pos);
      return;
    default:
      print_word(op);
      return;
  }
}

// An integer in both forms: "%i(" the value, ",", its eight hex digits, ")".
void Printer::print_integer(size_t pos) {
  const uint32_t value = load_u32le(&data_[pos + 1]);
  out_.put(text_[qb::kInteger]);
  out_.put_dec(value);
  out_.put(',');
  out_.put_hex8(value);
  out_.put(')');
}

// A float or a vector: its word, then one, two or three floats separated by commas, then ")".
void Printer::print_floats(uint8_t op, size_t pos) {
  out_.put(text_[op]);
  const size_t components = op == qb::kFloat ? 1 : op == qb::kVector2 ? 2 : 3;
  for (size_t i = 0; i < components; ++i) {
    if (i > 0) out_.put(',');
    put_float_at(pos + 1 + 4 * i);
  }
  out_.put(')');
}

// The line-break rule: a line break closes an open call, a second line break in a row
// stands one further tab left and lowers the depth, and the line of a closing word stands
// one tab left.
void Printer::print_line_break(uint8_t op, size_t pos, size_t size) {
  int adjust = 0;
  int delta = 0;
  if (call_open_) {
    call_open_ = false;
    adjust = -1;
    delta = -1;
  }
  if (prev_op_ == qb::kLineBreak || prev_op_ == qb::kLineValue) {
    --adjust;
    --delta;
  }
  if (const std::optional<uint8_t> next = byte_at(pos + size)) {
    switch (*next) {
      case qb::kStructClose:
      case qb::kLoopTo:
      case qb::kEndFunction:
      case qb::kDoElse:
      case qb::kEndIf:
      case qb::kElse:
        --adjust;
        break;
      default:
        break;
    }
  }
  break_before(adjust);
  out_.put(text_[op]);
  if (op == qb::kLineValue) {
    out_.put_hex8(load_u32le(&data_[pos + 1]));
    out_.put(')');
  }
  indent_ += delta;
}

// The name between two '$'; a name directly followed by another name, with no call open,
// opens a call: the call word, the name, the arguments word, a line end, and the following
// names one tab deeper until the next line break.
void Printer::print_name(size_t pos) {
  const bool call = !call_open_ && byte_at(pos + 5) == qb::kName;
  if (call) {
    out_.put(qb::kCallWord);
    out_.put(' ');
  }
  out_.put(text_[qb::kName]);
  if (const std::optional<std::string_view> name = name_) {
    out_.put(*name);
  } else {
    // No name for it: the four operand bytes in file order.
    out_.put('[');
    for (size_t i = 1; i <= 4; ++i) out_.put_hex2(data_[pos + i]);
    out_.put(']');
  }
  out_.put(text_[qb::kName]);
  if (call) {
    out_.put(' ');
    out_.put(qb::kArgumentsWord);
    out_.put(' ');
    call_open_ = true;
    indent_ += 1;
    break_after();
  }
}

// The string token's head, the stored length less its zero byte, then the text up to its
// first zero byte in double quotes, as stored.
void Printer::print_string(uint8_t op, size_t pos) {
  const qb::StringOperand s = *qb::read_string_operand(data_, pos + 1);
  out_.put(text_[op]);
  out_.put_dec(static_cast<int64_t>(s.size) - 5);
  out_.put(",\"");
  out_.put(s.text);
  out_.put("\")");
}

// The select's head, its opcode, its count N, each byte of the N pairs in hexadecimal, and
// one offset reference per branch. A select nests one step in the standard layout.
void Printer::print_select(uint8_t op, size_t pos) {
  const auto count = static_cast<int32_t>(load_u32le(&data_[pos + 1]));
  out_.put(text_[op]);
  out_.put_hex2(op);
  out_.put(',');
  out_.put_dec(count);
  out_.put(',');
  const size_t branches = count > 0 ? static_cast<size_t>(count) : 0;
  const size_t pairs = pos + 5;
  for (size_t i = 0; i < 2 * branches; ++i) {
    out_.put(' ');
    out_.put_hex2(data_[pairs + i]);
  }
  out_.put(") ");
  const size_t offsets = pairs + 2 * branches;
  for (size_t i = 0; i < branches; ++i) {
    out_.put(':');
    out_.put(qb::kOffsetWord);
    out_.put('(');
    out_.put_dec(long_offset_target(offsets + 4 * i));
    out_.put(')');
  }
  if (!settings_.thug1) indent_ += 1;
  break_after();
}

// A token that prints a fixed word, or under -debug the counter form of if, else, endif and
// return; its operands, if any, are short offsets or an inline endcase, which the text does
// not show.
void Printer::print_word(uint8_t op) {
  if (settings_.debug) {
    switch (op) {
      case qb::kIf:
        ++debug_counter_;
        put_debug_word(qb::kIf, "] ");
        break;
      case qb::kElse:
        put_debug_word(qb::kElse, "] ");
        break;
      case qb::kEndIf:
        put_debug_word(qb::kEndIf, "] ");
        --debug_counter_;
        break;
      case qb::kReturn:
        put_debug_word(qb::kReturn, "]");
        break;
      default:
        out_.put(text_[op]);
        break;
    }
  } else {
    out_.put(text_[op]);
  }
  const WordLayout layout = layout_[op];
  indent_ += layout.delta;
  if (layout.break_after) break_after();
}

}  // namespace

void print_text(ByteSpan data, const StreamScan& scan, const NameIndex& names, std::string_view path,
                const Settings& settings, TextWriter& out) {
  Printer(data, scan, names, settings, out).run(path);
}

}  // namespace qbkit::decompiler
