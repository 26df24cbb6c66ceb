// The statement loop: the byte or keyword at the cursor decides what is compiled, and tokens
// are emitted as the text is read. The block handlers (blocks.cc), select and %include
// (include.cc) run from here; so does the structure check of the blocks that mode c
// compiles as plain tokens (function, while, the switch of the THUG1 layout).
#include <algorithm>
#include <array>
#include <span>
#include <vector>

#include "common/error.h"
#include "common/format.h"
#include "compiler/script_compiler.h"
#include "qb/tokens.h"
#include "qb/words.h"

namespace qbkit::compiler {
namespace {

using qb::word_of;

enum class Action : uint8_t {
  kToken,        // emit the token
  kOpen,         // emit the token, which opens a block for the structure check
  kClose,        // emit the token, which closes one
  kMiddle,       // emit the token, which stands inside one (case and default of the THUG1 layout)
  kIf,           // conditional with offsets
  kDoIf,         // conditional without offsets
  kIfStop,       // endif, else, doElse
  kSwitch,       // switch
  kSwitchStop,   // case, endcase, end_switch
  kDefaultStop,  // default, ends the loop that compiles a switch subject
  kNothing,      // call, arguments: read as nothing
  kSelect,       // select(...)
};

struct Keyword {
  std::string_view word;
  Action action;
  uint8_t token;
  BlockKind block;
  ShortWord prefix = {};  // `word`, for the comparison without a byte loop
};

// The keywords of one layout, grouped by their first byte; within a group they keep the
// order in which they are tried. A keyword matches at the start of any longer word, so that
// order decides between keywords that share a beginning.
class KeywordTable {
 public:
  explicit KeywordTable(bool thug1) {
    std::vector<Keyword> all;
    auto token = [&](qb::Op op, Action a = Action::kToken, BlockKind block = BlockKind::kFunction) {
      all.push_back({word_of(op), a, op, block});
    };
    auto action = [&](std::string_view word, Action a) { all.push_back({word, a, 0, BlockKind::kFunction}); };
    token(qb::kFunction, Action::kOpen, BlockKind::kFunction);
    token(qb::kEndFunction, Action::kClose, BlockKind::kFunction);
    token(qb::kWhile, Action::kOpen, BlockKind::kWhile);
    token(qb::kLoopTo, Action::kClose, BlockKind::kWhile);
    token(qb::kContinue);
    action(word_of(qb::kIf), Action::kIf);
    action(word_of(qb::kDoIf), Action::kDoIf);
    token(qb::kNot);
    token(qb::kOr);
    token(qb::kAnd);
    token(qb::kIsNull);
    token(qb::kReturn);
    action(word_of(qb::kEndIf), Action::kIfStop);
    action(word_of(qb::kElse), Action::kIfStop);
    action(word_of(qb::kDoElse), Action::kIfStop);
    action(word_of(qb::kSwitch), Action::kSwitch);
    if (thug1) {
      // The branch words are plain tokens; they come first, so only endcase stops a loop.
      token(qb::kCase, Action::kMiddle, BlockKind::kSwitch);
      token(qb::kDefault, Action::kMiddle, BlockKind::kSwitch);
      token(qb::kEndSwitch, Action::kClose, BlockKind::kSwitch);
    }
    action(word_of(qb::kCase), Action::kSwitchStop);
    action(word_of(qb::kEndCase), Action::kSwitchStop);
    action(word_of(qb::kEndSwitch), Action::kSwitchStop);
    if (!thug1) action(word_of(qb::kDefault), Action::kDefaultStop);
    action(qb::kCallWord, Action::kNothing);
    action(qb::kArgumentsWord, Action::kNothing);
    action(word_of(qb::kSelect2F), Action::kSelect);
    token(qb::kRandomRange);

    for (Keyword& k : all) k.prefix = ShortWord::of(k.word);
    std::stable_sort(all.begin(), all.end(),
                     [](const Keyword& a, const Keyword& b) { return uint8_t(a.word[0]) < uint8_t(b.word[0]); });
    keywords_ = std::move(all);
    size_t k = 0;
    for (int c = 0; c < 256; ++c) {
      start_[c] = static_cast<uint8_t>(k);
      while (k < keywords_.size() && uint8_t(keywords_[k].word[0]) == c) ++k;
    }
    start_[256] = static_cast<uint8_t>(k);
  }

  // The keywords that begin with byte `c`, in the order they are tried.
  std::span<const Keyword> starting_with(uint8_t c) const {
    return std::span<const Keyword>(keywords_).subspan(start_[c], start_[c + 1] - start_[c]);
  }

 private:
  std::vector<Keyword> keywords_;
  std::array<uint8_t, 257> start_{};
};

const KeywordTable& keywords(bool thug1) {
  static const KeywordTable standard(false);
  static const KeywordTable thug1_layout(true);
  return thug1 ? thug1_layout : standard;
}

// Counts one level of recursion of the statement loop for as long as it lives.
class NestingCount {
 public:
  explicit NestingCount(int& nesting) : nesting_(++nesting) {}
  ~NestingCount() { --nesting_; }
  NestingCount(const NestingCount&) = delete;
  NestingCount& operator=(const NestingCount&) = delete;
  bool too_deep() const { return nesting_ > ScriptCompiler::kMaxNesting; }

 private:
  int& nesting_;
};

}  // namespace

void ScriptCompiler::single(uint8_t token) {
  lex_.next();
  lex_.skip_blanks();
  output_.emit(token);
}

std::string_view ScriptCompiler::compile_statements(bool stop_at_default) {
  const NestingCount count(nesting_);
  if (count.too_deep()) nested_too_deep(lex_.cursor());
  for (;;) {
    try {
      return statement_loop(stop_at_default);
    } catch (const Error&) {
      if (!options_.check) throw;
      lex_.seek(resume_);
      lex_.skip_blanks();
    }
  }
}

void ScriptCompiler::nested_too_deep(size_t at) {
  fail({at, code::kTooDeep, format("blocks and includes are nested more than %i deep here", kMaxNesting)},
       kExitFailure, format("Blocks nested too deeply at line %i\n", line_of(at)));
}

std::string_view ScriptCompiler::statement_loop(bool stop_at_default) {
  while (!lex_.at_end()) {
    const size_t at = lex_.cursor();
    switch (lex_.peek()) {
      case '#':
        lex_.next();
        declare_name(at);
        break;
      case '%': {
        lex_.next();
        const std::string_view word = read_word("a command word after '%'");
        if (word == qb::kIncludeWord) {
          compile_include(at);
        } else {
          compile_percent(word, at);
        }
        break;
      }
      case '$':
        lex_.next();
        compile_name_reference(at);
        break;
      case '=': single(qb::kEquals); break;
      case '+': single(qb::kPlus); break;
      case '-':
        if (lex_.at(at + 1) == '>') {
          lex_.advance(2);
          lex_.skip_blanks();
          output_.emit(qb::kArrow);
        } else {
          single(qb::kMinus);
        }
        break;
      case '*': single(qb::kMultiply); break;
      case '/': single(qb::kDivide); break;
      case '<': single(qb::kLess); break;
      case '>': single(qb::kGreater); break;
      case '(': single(qb::kParenOpen); break;
      case ')': single(qb::kParenClose); break;
      case ':':
        lex_.next();
        compile_colon(at);
        break;
      case ';': single(qb::kSeparator); break;
      case '.': single(qb::kDot); break;
      default:
        if (const std::string_view stop = compile_keyword(stop_at_default); !stop.empty()) return stop;
        break;
    }
  }
  return {};
}

std::string_view ScriptCompiler::compile_keyword(bool stop_at_default) {
  const size_t at = lex_.cursor();
  for (const Keyword& k : keywords(options_.settings.thug1).starting_with(lex_.peek())) {
    // Every keyword fits a ShortWord; against a byte loop for each, the compile of the
    // benchmark's 21 MB text ran 3.1% fewer instructions and took 2.2% less processor time.
    const bool fits = k.word.size() <= ShortWord::kMaxSize && !options_.plain;
    if (!(fits ? lex_.begins_with(k.prefix) : lex_.starts_with(k.word))) continue;
    switch (k.action) {
      case Action::kToken:
      case Action::kOpen:
      case Action::kClose:
      case Action::kMiddle:
        lex_.pass(k.word.size());
        output_.emit(k.token);
        if (k.action == Action::kOpen) open_plain(k.block, at);
        if (k.action == Action::kClose || k.action == Action::kMiddle)
          close_plain(k.block, k.word, at, k.action == Action::kMiddle);
        return {};
      case Action::kIf:
      case Action::kDoIf:
        lex_.pass(k.word.size());
        compile_conditional(at, k.action == Action::kIf);
        return {};
      case Action::kIfStop:
        return stop_word(k.word, at, if_depth_ != 0);
      case Action::kSwitch:
        lex_.pass(k.word.size());
        if (options_.settings.thug1) {
          output_.emit(qb::kSwitch);
          open_plain(BlockKind::kSwitch, at);
        } else {
          compile_switch(at);
        }
        return {};
      case Action::kSwitchStop:
        return stop_word(k.word, at, switch_depth_ != 0);
      case Action::kDefaultStop:
        return stop_at_default ? k.word : default_word(k.word, at);
      case Action::kNothing:
        lex_.pass(k.word.size());
        return {};
      case Action::kSelect:
        compile_select();
        return {};
    }
  }
  unknown_text(at);
}

// A stop word ends the loop of the block it belongs to; without that block open it is an
// error, after which the compile goes on past the word.
std::string_view ScriptCompiler::stop_word(std::string_view word, size_t at, bool open) {
  if (open) return word;
  const bool if_word = word == word_of(qb::kEndIf) || word == word_of(qb::kElse) || word == word_of(qb::kDoElse);
  const std::string said(word);
  if (if_word) {
    error({at, code::kStrayCloser, format("'%s' without an open 'if'", said.c_str())}, kExitFailure,
          format("endif/else without if at line %i\n", line_of(at)));
  } else {
    switch_trouble_ = true;
    const std::string message = options_.settings.thug1 && word == word_of(qb::kEndCase)
                                    ? std::string("'endcase' is no word of the THUG1 layout (-thug1)")
                                    : format("'%s' without an open 'switch'", said.c_str());
    error({at, code::kStrayCloser, message}, kExitFailure,
          format("case/endcase/endswitch without switch at line %i\n", line_of(at)));
  }
  lex_.accept(word);
  return {};
}

// "default" in the standard layout outside a switch's subject: a stop word only where a branch
// of a switch can end. Mode c knows no such word there.
std::string_view ScriptCompiler::default_word(std::string_view word, size_t at) {
  const std::string legacy = format("Unkown how to handle '%c' at line %i\n", 'd', line_of(at));
  switch_trouble_ = true;
  if (switch_depth_ == 0) {
    error({at, code::kStrayCloser, "'default' without an open 'switch'"}, kExitFailure, legacy);
  } else {
    error({at, code::kMissingEndcase, "'endcase' is missing before this 'default'"}, kExitFailure, legacy);
    // The branch ends here, as with the endcase, when it is the switch's own.
    const std::optional<size_t> handled = innermost_handled();
    if (handled && blocks_[*handled].kind == BlockKind::kSwitch) return word;
  }
  lex_.accept(word);
  return {};
}

void ScriptCompiler::unknown_text(size_t at) {
  const uint8_t c = lex_.peek();
  std::string message;
  if (is_decimal_digit(c)) {
    message = "a number on its own: numbers are written %i(DECIMAL,HEX) for integers, as in %i(5,00000005), "
              "and %f(X.Y) for floats, as in %f(1.500000)";
  } else if (c == '"') {
    message = "a quoted text on its own: strings are written %s(0,\"text\"), names $name$";
  } else if (is_word_start(c)) {
    size_t end = at;
    while (is_word_char(lex_.at(end))) ++end;
    const std::string word(lex_.text(at, end));
    message = format("unknown word '%s': names are written between dollar signs, as in $%s$", word.c_str(),
                     word.c_str());
  } else {
    message = format("%s cannot start anything here", shown_at(at).c_str());
  }
  fail({at, code::kUnexpectedChar, std::move(message)}, kExitFailure,
       format("Unkown how to handle '%c' at line %i\n", c, line_of(at)));
}

void ScriptCompiler::compile_select() {
  lex_.accept(word_of(qb::kSelect2F));
  expect_char('(');
  const uint32_t opcode = lex_.parse_number(lex_.cursor(), true);
  lex_.skip_hex_digits();
  expect_char(',');
  output_.emit(static_cast<uint8_t>(opcode));
  const uint32_t count = lex_.parse_number(lex_.cursor(), false);
  output_.emit_u32(count);
  lex_.skip_decimal_digits();
  expect_char(',');
  const auto pairs = static_cast<int32_t>(count);
  for (int32_t i = 0; i < pairs; ++i) {
    for (int half = 0; half < 2; ++half) {
      if (!is_hex_digit(lex_.peek())) {
        const size_t at = lex_.cursor();
        fail({at, code::kBadSelect,
              format("expected a byte of two hexadecimal digits here, found %s: the select holds %u pairs",
                     shown_at(at).c_str(), count)},
             kExitFailure, "Wrong select syntax...\n");
      }
      output_.emit(static_cast<uint8_t>(lex_.parse_number(lex_.cursor(), true)));
      lex_.skip_hex_digits();
      lex_.skip_blanks();
    }
  }
  expect_char(')');
}

}  // namespace qbkit::compiler
