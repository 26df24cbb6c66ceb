#include "decompiler/decoder.h"

#include <array>
#include <cstring>

#include "common/error.h"
#include "decompiler/jump_targets.h"
#include "decompiler/text_append.h"
#include "qb/float_text.h"
#include "qb/tokens.h"

namespace qbkit::decompiler {
namespace {

// Walks the stream once; all run state (read position, open call, previous opcode, debug
// counter, jump targets) lives here for the one stream it decodes.
class Decoder {
 public:
  Decoder(ByteSpan data, const Settings& settings)
      : data_(data), settings_(settings), targets_(data.size()), texts_(data.size() / 2 * 5 + 64) {
    // The token table, looked up once per byte value rather than once per token.
    for (int b = 0; b < 256; ++b) {
      info_[b] = qb::token_info(static_cast<uint8_t>(b));
      fixed_[b] = info_[b] ? qb::fixed_operand_size(info_[b]->operand, settings.thug1) : 0;
    }
    // Most tokens are a few bytes long; this saves the early regrowths of the record list.
    out_.records.reserve(data.size() / 3 + 16);
  }

  DecodedStream run() {
    while (pos_ < data_.size() && !stop_) {
      const size_t start = pos_;
      const uint8_t op = data_[pos_++];
      if (std::optional<uint32_t> index = targets_.find_target(start)) add_marker(*index);

      const size_t text_begin = texts_.size();
      Layout layout;
      const bool decoded = decode(op, layout);
      if (!decoded) {
        // The token cannot be read (unknown opcode, or operands past the end of the data):
        // it is shown where it stands and decoding ends there.
        texts_.truncate(text_begin);
        layout = Layout();
        texts_.put("Unknown instruction at ");
        append_hex_padded(texts_, start, 8);
        texts_.put(':');
        append_hex(texts_, op);
        stop_ = true;
      }
      if (op != qb::kNameRecord || !decoded) add_record(text_begin, layout);
      prev_op_ = op;
    }
    out_.texts = texts_.take();
    return std::move(out_);
  }

 private:
  size_t remaining() const { return data_.size() - pos_; }
  uint32_t read_u32() {
    uint32_t v = load_u32le(&data_[pos_]);
    pos_ += 4;
    return v;
  }
  void text(std::string_view s) { texts_.put(s); }
  // The debug form of a keyword: the word, "[", the counter, then `close`.
  void debug_text(std::string_view word, std::string_view close) {
    text(word);
    text("[");
    append_dec(texts_, debug_counter_);
    text(close);
  }

  // A token with plain layout after a record that ends its line neither before nor after
  // its text simply extends that record: its text already follows in `texts`, and the
  // printed result is the same. This keeps the record list short.
  void add_record(size_t text_begin, const Layout& layout) {
    if (layout.plain() && can_extend_last_) return;
    out_.records.emplace_back(text_begin, layout);
    can_extend_last_ = !layout.break_after && layout.name_form == NameForm::kNone;
  }

  void add_marker(uint32_t index) {
    const size_t text_begin = texts_.size();
    texts_.put(" :POS(");
    append_dec(texts_, index);
    texts_.put(") ");
    add_record(text_begin, Layout());
  }

  // The target of a long offset that ends at the read position.
  uint32_t long_offset_target_index(int32_t offset) {
    const int64_t target = static_cast<int64_t>(pos_) + offset;
    return targets_.index_of_target(static_cast<uint64_t>(target));
  }

  void append_float(uint32_t bits) {
    char buf[qb::kFloatTextCapacity];
    texts_.put(qb::format_float(bits_to_float(bits), buf));
  }

  // Decodes the token whose opcode was just read. False when it cannot be read; the
  // caller then throws away whatever text it produced.
  bool decode(uint8_t op, Layout& r);
  bool decode_line_break(uint8_t op, Layout& r);
  bool decode_name(Layout& r);
  bool decode_string(Layout& r, std::string_view head);
  bool decode_name_record();
  bool decode_select(uint8_t op, Layout& r);

  ByteSpan data_;
  const Settings& settings_;
  std::array<const qb::TokenInfo*, 256> info_{};
  std::array<int, 256> fixed_{};
  JumpTargets targets_;
  TextBuffer texts_;
  DecodedStream out_;
  size_t pos_ = 0;
  bool stop_ = false;
  bool call_open_ = false;
  bool can_extend_last_ = false;
  int prev_op_ = -1;  // none before the first token
  int64_t debug_counter_ = 0;  // wide enough that no stream can overflow it
};

bool Decoder::decode(uint8_t op, Layout& r) {
  const qb::TokenInfo* info = info_[op];
  if (info == nullptr) return false;
  if (info->standard_only && settings_.thug1) {
    throw Error(1,
                "GOTO stuff not implemented... please report that cuz it shouldn't happen\n"
                "Maybe this file doesn't work with -thug1?\n");
  }
  const int fixed = fixed_[op];
  if (fixed > 0 && remaining() < static_cast<size_t>(fixed)) return false;

  switch (op) {
    case qb::kEnd:
      text(info->text);
      r.break_after = true;
      stop_ = true;
      return true;
    case qb::kLineBreak:
    case qb::kLineValue:
      return decode_line_break(op, r);
    case qb::kName:
      return decode_name(r);
    case qb::kInteger: {
      const uint32_t v = read_u32();
      text("%i(");
      append_dec(texts_, v);
      text(",");
      append_hex_padded(texts_, v, 8);
      text(")");
      return true;
    }
    case qb::kFloat:
      text("%f(");
      append_float(read_u32());
      text(")");
      return true;
    case qb::kString:
      return decode_string(r, "%s(");
    case qb::kLocalString:
      return decode_string(r, "%sc(");
    case qb::kVector3:
      text("%vec3(");
      append_float(read_u32());
      text(",");
      append_float(read_u32());
      text(",");
      append_float(read_u32());
      text(")");
      return true;
    case qb::kVector2:
      text("%vec2(");
      append_float(read_u32());
      text(",");
      append_float(read_u32());
      text(")");
      return true;
    case qb::kNameRecord:
      return decode_name_record();
    case qb::kBreakTo: {
      const int32_t offset = static_cast<int32_t>(read_u32());
      text(":BREAKTO(");
      append_dec(texts_, long_offset_target_index(offset));
      text(")");
      r.break_before = true;
      r.break_after = true;
      r.line_adjust = -1;
      return true;
    }
    case qb::kSelect2F:
    case qb::kSelect37:
    case qb::kSelect40:
    case qb::kSelect41:
      return decode_select(op, r);
    default:
      break;
  }

  // The remaining tokens print a fixed word (or a debug form of it); their operands, if
  // any, are short offsets or inline endcase bytes that the text does not show.
  pos_ += static_cast<size_t>(fixed);
  switch (op) {
    case qb::kStructOpen:
    case qb::kArrayOpen:
    case qb::kFunction:
    case qb::kDoIf:
    case qb::kSwitch:
      r.delta = 1;
      break;
    case qb::kStructClose:
    case qb::kArrayClose:
    case qb::kLoopTo:
    case qb::kEndFunction:
      r.delta = -1;
      break;
    case qb::kWhile:
      r.delta = 1;
      r.break_after = true;
      break;
    case qb::kContinue:
      r.break_after = true;
      break;
    case qb::kReturn:
      r.break_after = true;
      if (settings_.debug) {
        debug_text("return", "]");
        return true;
      }
      break;
    case qb::kIf:
      r.delta = 1;
      if (settings_.debug) {
        ++debug_counter_;
        debug_text("if", "] ");
        return true;
      }
      break;
    case qb::kElse:
      if (settings_.debug) {
        debug_text("else", "] ");
        return true;
      }
      break;
    case qb::kEndIf:
      r.delta = -1;
      if (settings_.debug) {
        debug_text("endif", "] ");
        --debug_counter_;
        return true;
      }
      break;
    case qb::kCase:
    case qb::kDefault:
      r.delta = settings_.thug1 ? 0 : 1;
      break;
    case qb::kEndCase:
      r.delta = -1;
      r.break_after = true;
      break;
    case qb::kEndSwitch:
      r.delta = settings_.thug1 ? -1 : -2;
      r.break_after = true;
      break;
    default:
      break;
  }
  text(info->text);
  return true;
}

bool Decoder::decode_line_break(uint8_t op, Layout& r) {
  if (op == qb::kLineValue) {
    text(qb::token_info(op)->text);
    append_hex_padded(texts_, read_u32(), 8);
    text(")");
  } else {
    text(qb::token_info(op)->text);
  }
  r.break_before = true;
  if (call_open_) {
    call_open_ = false;
    r.line_adjust = -1;
    r.delta = -1;
  }
  if (prev_op_ == qb::kLineBreak || prev_op_ == qb::kLineValue) {
    --r.line_adjust;
    --r.delta;
  }
  // The line that holds a closing word stands one tab left.
  if (pos_ < data_.size()) {
    switch (data_[pos_]) {
      case qb::kStructClose:
      case qb::kLoopTo:
      case qb::kEndFunction:
      case qb::kDoElse:
      case qb::kEndIf:
      case qb::kElse:
        --r.line_adjust;
        break;
      default:
        break;
    }
  }
  return true;
}

bool Decoder::decode_name(Layout& r) {
  // The checksum's bytes stand in the record's text until the printing pass names them.
  texts_.put(std::string_view(reinterpret_cast<const char*>(&data_[pos_]), 4));
  pos_ += 4;
  r.name_form = NameForm::kPlain;
  if (!call_open_ && pos_ < data_.size() && data_[pos_] == qb::kName) {
    r.name_form = NameForm::kCall;
    r.break_after = true;
    r.delta = 1;
    call_open_ = true;
  }
  return true;
}

bool Decoder::decode_string(Layout&, std::string_view head) {
  if (remaining() < 4) return false;
  const uint32_t length = load_u32le(&data_[pos_]);
  // The stored bytes must lie inside the data and hold the terminating NUL.
  if (length == 0 || remaining() - 4 < length) return false;
  const uint8_t* body = &data_[pos_ + 4];
  const void* nul = std::memchr(body, 0, length);
  if (nul == nullptr) return false;
  pos_ += 4 + static_cast<size_t>(length);
  text(head);
  append_dec(texts_, static_cast<int64_t>(length) - 1);
  text(",\"");
  texts_.put(std::string_view(reinterpret_cast<const char*>(body),
                              static_cast<size_t>(static_cast<const uint8_t*>(nul) - body)));
  text("\")");
  return true;
}

bool Decoder::decode_name_record() {
  if (remaining() < 4) return false;
  const uint8_t* name = &data_[pos_ + 4];
  const size_t room = remaining() - 4;
  const void* nul = room == 0 ? nullptr : std::memchr(name, 0, room);
  if (nul == nullptr) return false;
  const uint32_t checksum = read_u32();
  const size_t length = static_cast<size_t>(static_cast<const uint8_t*>(nul) - name);
  out_.names.add_name(checksum, std::string_view(reinterpret_cast<const char*>(name), length));
  pos_ += length + 1;
  return true;
}

bool Decoder::decode_select(uint8_t op, Layout& r) {
  if (remaining() < 4) return false;
  const int32_t count = static_cast<int32_t>(load_u32le(&data_[pos_]));
  if (count > 0 && (remaining() - 4) / 6 < static_cast<size_t>(count)) return false;
  pos_ += 4;
  text("select(");
  append_hex_padded(texts_, op, 2);
  text(",");
  append_dec(texts_, count);
  text(",");
  if (count > 0) {
    for (int32_t i = 0; i < count; ++i) {
      text(" ");
      append_hex_padded(texts_, data_[pos_ + 2 * static_cast<size_t>(i)], 2);
      text(" ");
      append_hex_padded(texts_, data_[pos_ + 2 * static_cast<size_t>(i) + 1], 2);
    }
    pos_ += 2 * static_cast<size_t>(count);
  }
  text(") ");
  for (int32_t i = 0; i < count; ++i) {
    const int32_t offset = static_cast<int32_t>(read_u32());
    text(":OFFSET(");
    append_dec(texts_, long_offset_target_index(offset));
    text(")");
  }
  r.break_after = true;
  r.delta = settings_.thug1 ? 0 : 1;
  return true;
}

}  // namespace

DecodedStream decode_stream(ByteSpan data, const Settings& settings) {
  return Decoder(data, settings).run();
}

}  // namespace qbkit::decompiler
