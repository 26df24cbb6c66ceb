#include "support/stream_generator.h"

#include <string>
#include <utility>
#include <vector>

#include "qb/tokens.h"
#include "support/qb_stream.h"

namespace qbkit::test {
namespace {

using namespace qbkit::qb;

// Tokens without operands that the compiler reads anywhere, in both layouts.
constexpr uint8_t kPlainTokens[] = {
    kLineBreak, kStructOpen, kStructClose, kArrayOpen, kArrayClose, kEquals,   kArrow,
    kSeparator, kMinus,      kPlus,        kDivide,    kMultiply,   kParenOpen, kParenClose,
    kLess,      kGreater,    kWhile,       kLoopTo,    kContinue,   kFunction, kEndFunction,
    kReturn,    kIsNull,     kGlobal,      kRandomRange, kOr,       kAnd,      kNot,
    kDot,
};
// In the THUG1 layout the switch tokens carry nothing and may stand anywhere.
constexpr uint8_t kThug1SwitchTokens[] = {kSwitch, kCase, kDefault, kEndSwitch};
constexpr uint8_t kSelectOpcodes[] = {kSelect2F, kSelect37, kSelect40, kSelect41};

class Generator {
 public:
  Generator(ByteSpan choices, bool thug1) : in_(choices), thug1_(thug1) {}

  Bytes run() {
    make_names();
    while (!exhausted()) statements(0);
    finish();
    return out_.take();
  }

 private:
  // The next choice byte; zero once the input is used up.
  uint8_t next() { return pos_ < in_.size() ? in_[pos_++] : 0; }
  uint32_t next32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | next();
    return v;
  }
  bool exhausted() const { return pos_ >= in_.size() || tokens_ >= kMaxTokens; }

  void emit(uint8_t b) { out_.op(b); }
  void emit32(uint32_t v) { out_.u32(v); }
  // `targetable`: a free jump may lead here. The head of a switch branch after an endcase
  // may not: the compiler reads that head directly, with no place for a marker before it.
  // `write_op`: false when the caller writes the whole token itself.
  void start_token(uint8_t op, bool targetable = true, bool write_op = true) {
    if (targetable) starts_.push_back(out_.size());
    token_start_ = out_.size();
    ++tokens_;
    if (write_op) emit(op);
  }

  void make_names() {
    size_t count = 1 + next() % 12;
    for (size_t i = 0; i < count; ++i) {
      // Distinct checksums and distinct names, so that every lookup is unambiguous.
      uint32_t checksum = next32() ^ static_cast<uint32_t>(i * 0x9E3779B9u);
      bool clash = false;
      for (auto& n : names_) clash |= n.first == checksum;
      if (clash) checksum = static_cast<uint32_t>(0x51ED0000u + i);
      // Appended piece by piece: GCC 12 warns falsely on "literal" + std::string.
      const bool spaced = next() % 4 == 0;
      std::string name = spaced ? "Team " : "n";
      name += std::to_string(i);
      if (spaced) name += " Deck";
      names_.emplace_back(checksum, std::move(name));
    }
  }

  void statements(int depth) {
    size_t count = next() % 8;
    for (size_t i = 0; i < count && !exhausted(); ++i) statement(depth);
  }

  void statement(int depth) {
    uint8_t pick = next() % 16;
    bool can_nest = depth < kMaxDepth;
    switch (pick) {
      case 0: case 1: case 2: case 3:
        plain_token();
        break;
      case 4: case 5:
        name_tokens();
        break;
      case 6:
        value_token();
        break;
      case 7:
        string_token();
        break;
      case 8:
        start_token(kLineValue);
        emit32(next32());
        break;
      case 9:
        start_token(kBreakTo);
        jump_field();
        break;
      case 10:
        select_token();
        break;
      case 11:
        if (can_nest) if_block(depth);
        break;
      case 12:
        if (can_nest) do_if_block(depth);
        break;
      case 13:
        if (can_nest) switch_block(depth);
        break;
      default:
        start_token(kLineBreak);
        break;
    }
  }

  void plain_token() {
    if (thug1_ && next() % 4 == 0) {
      start_token(kThug1SwitchTokens[next() % std::size(kThug1SwitchTokens)]);
      return;
    }
    start_token(kPlainTokens[next() % std::size(kPlainTokens)]);
  }

  void name_tokens() {
    size_t run = 1 + next() % 3;  // two or more in a row take the call form
    for (size_t i = 0; i < run; ++i) {
      start_token(kName);
      emit32(names_[next() % names_.size()].first);
    }
  }

  float finite_float() {
    uint32_t bits = next32();
    if ((bits & 0x7F800000u) == 0x7F800000u) bits &= 0xBFFFFFFFu;  // no NaN or infinity
    return bits_to_float(bits);
  }

  void value_token() {
    switch (next() % 4) {
      case 0:
        start_token(kInteger);
        emit32(next32());
        break;
      case 1:
        start_token(kFloat);
        emit32(float_to_bits(finite_float()));
        break;
      case 2:
        start_token(kVector2);
        for (int i = 0; i < 2; ++i) emit32(float_to_bits(finite_float()));
        break;
      default:
        start_token(kVector3);
        for (int i = 0; i < 3; ++i) emit32(float_to_bits(finite_float()));
        break;
    }
  }

  void string_token() {
    const uint8_t kind = next() % 2 ? kString : kLocalString;
    std::string text;
    size_t length = next() % 24;
    for (size_t i = 0; i < length; ++i) {
      uint8_t c = next();
      if (c == 0 || c == '"') c = 'q';
      text.push_back(static_cast<char>(c));
    }
    start_token(kind, true, false);
    out_.string(kind, text);
  }

  // A long offset whose target is chosen once the whole stream is laid out.
  void jump_field() {
    jumps_.push_back({token_start_, out_.size(), next()});
    emit32(0);
  }

  void select_token() {
    start_token(kSelectOpcodes[next() % std::size(kSelectOpcodes)]);
    uint32_t n = next() % 4;
    emit32(n);
    for (uint32_t i = 0; i < 2 * n; ++i) emit(next());
    for (uint32_t i = 0; i < n; ++i) jump_field();
  }

  // if / else ... / endif, with the offsets the compiler computes.
  void if_block(int depth) {
    start_token(kIf);
    size_t pending = out_.short_hole();
    statements(depth + 1);
    size_t elses = next() % 3;
    for (size_t i = 0; i < elses; ++i) {
      start_token(kElse);
      size_t q = out_.short_hole();
      out_.fill_short(pending, out_.size());
      pending = q;
      statements(depth + 1);
    }
    out_.fill_short(pending, out_.size() + 1);
    start_token(kEndIf);
  }

  void do_if_block(int depth) {
    start_token(kDoIf);
    statements(depth + 1);
    size_t elses = next() % 3;
    for (size_t i = 0; i < elses; ++i) {
      start_token(kDoElse);
      statements(depth + 1);
    }
    start_token(kEndIf);
  }

  void switch_block(int depth) {
    if (thug1_) {  // plain tokens in this layout
      start_token(kSwitch);
      statements(depth + 1);
      start_token(next() % 2 ? kCase : kDefault);
      statements(depth + 1);
      start_token(kEndSwitch);
      return;
    }
    start_token(kSwitch);
    statements(depth + 1);
    size_t branches = 1 + next() % 3;
    std::vector<size_t> breaks;
    size_t pending = 0;
    for (size_t i = 0; i < branches; ++i) {
      start_token(next() % 3 == 0 ? kDefault : kCase, i == 0);
      emit(kEndCase);
      pending = out_.short_hole();
      statements(depth + 1);
      if (i + 1 < branches) {
        emit(kEndCase);  // an endcase is a token of its own
        starts_.push_back(out_.size() - 1);
        breaks.push_back(out_.short_hole());
        out_.fill_short(pending, out_.size());
      }
    }
    start_token(kEndSwitch);
    out_.fill_short(pending, out_.size() - 1);
    for (size_t b : breaks) out_.fill_short(b, out_.size());
  }

  void finish() {
    // Jumps lead forward to a token start, or to the end of the statements.
    const size_t end = out_.size();
    starts_.push_back(end);
    for (const Jump& j : jumps_) {
      std::vector<size_t> later;
      for (size_t s : starts_)
        if (s > j.token) later.push_back(s);
      size_t target = later[j.choice % later.size()];
      out_.fill_long(j.field, target);
    }
    for (size_t i = 0; i < names_.size(); ++i) {
      size_t copies = (next() % 5 == 0) ? 2 : 1;  // a duplicate record is kept as it is
      for (size_t c = 0; c < copies; ++c) {
        out_.name_record(names_[i].first, names_[i].second);
      }
    }
    emit(kEnd);
  }

  struct Jump {
    size_t token;  // start of the jumping token
    size_t field;  // its long offset field
    uint8_t choice;
  };

  static constexpr int kMaxDepth = 4;
  static constexpr size_t kMaxTokens = 400;

  ByteSpan in_;
  size_t pos_ = 0;
  bool thug1_;
  size_t tokens_ = 0;
  size_t token_start_ = 0;
  QbStream out_;
  std::vector<size_t> starts_;
  std::vector<Jump> jumps_;
  std::vector<std::pair<uint32_t, std::string>> names_;
};

}  // namespace

Bytes generate_stream(ByteSpan choices, bool thug1) { return Generator(choices, thug1).run(); }

}  // namespace qbkit::test
