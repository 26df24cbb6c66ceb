// The statement loop and its block handlers: both conditional forms, the switch in both
// token layouts, select and %include. Tokens are emitted as the text is read; short offsets
// are reserved as two zero bytes and patched when their block closes.
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <span>
#include <vector>
#include <ostream>
#include <utility>

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
};

// The keywords of one layout, grouped by their first byte; within a group they keep the
// order in which they are tried. A keyword matches at the start of any longer word, so that
// order decides between keywords that share a beginning.
class KeywordTable {
 public:
  explicit KeywordTable(bool thug1) {
    std::vector<Keyword> all;
    auto token = [&](qb::Op op) { all.push_back({word_of(op), Action::kToken, op}); };
    auto action = [&](std::string_view word, Action a) { all.push_back({word, a, 0}); };
    token(qb::kFunction);
    token(qb::kEndFunction);
    token(qb::kWhile);
    token(qb::kLoopTo);
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
      token(qb::kCase);
      token(qb::kDefault);
      token(qb::kEndSwitch);
    }
    action(word_of(qb::kCase), Action::kSwitchStop);
    action(word_of(qb::kEndCase), Action::kSwitchStop);
    action(word_of(qb::kEndSwitch), Action::kSwitchStop);
    if (!thug1) action(word_of(qb::kDefault), Action::kDefaultStop);
    action(qb::kCallWord, Action::kNothing);
    action(qb::kArgumentsWord, Action::kNothing);
    action(word_of(qb::kSelect2F), Action::kSelect);
    token(qb::kRandomRange);

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
class NestingGuard {
 public:
  NestingGuard(int& nesting, int line) : nesting_(nesting) {
    if (++nesting_ > ScriptCompiler::kMaxNesting) {
      throw Error(kExitFailure, format("Blocks nested too deeply at line %i\n", line));
    }
  }
  ~NestingGuard() { --nesting_; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;

 private:
  int& nesting_;
};

}  // namespace

void ScriptCompiler::single(uint8_t token) {
  lex_.advance(1);
  lex_.skip_blanks();
  output_.emit(token);
}

std::string_view ScriptCompiler::compile_statements(bool stop_at_default) {
  NestingGuard guard(nesting_, lex_.line());
  while (!lex_.at_end()) {
    switch (lex_.peek()) {
      case '#':
        lex_.advance(1);
        declare_name();
        break;
      case '%': {
        const int line = lex_.line();
        lex_.advance(1);
        const std::string_view word = lex_.read_word();
        if (word == qb::kIncludeWord) {
          compile_include(line);
        } else {
          compile_percent(word);
        }
        break;
      }
      case '$':
        lex_.advance(1);
        compile_name_reference();
        break;
      case '=': single(qb::kEquals); break;
      case '+': single(qb::kPlus); break;
      case '-':
        if (lex_.at(lex_.cursor() + 1) == '>') {
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
        lex_.advance(1);
        compile_colon();
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
  for (const Keyword& k : keywords(settings_.thug1).starting_with(lex_.peek())) {
    if (!lex_.starts_with(k.word)) continue;
    const int line = lex_.line();
    switch (k.action) {
      case Action::kToken:
        lex_.accept(k.word);
        output_.emit(k.token);
        return {};
      case Action::kIf:
        lex_.accept(k.word);
        compile_if(line);
        return {};
      case Action::kDoIf:
        lex_.accept(k.word);
        compile_do_if(line);
        return {};
      case Action::kIfStop:
        if (if_depth_ == 0) throw Error(kExitFailure, format("endif/else without if at line %i\n", line));
        return k.word;
      case Action::kSwitch:
        lex_.accept(k.word);
        if (settings_.thug1) {
          output_.emit(qb::kSwitch);
        } else {
          compile_switch();
        }
        return {};
      case Action::kSwitchStop:
        if (switch_depth_ == 0)
          throw Error(kExitFailure, format("case/endcase/endswitch without switch at line %i\n", line));
        return k.word;
      case Action::kDefaultStop:
        if (!stop_at_default) continue;
        return k.word;
      case Action::kNothing:
        lex_.accept(k.word);
        return {};
      case Action::kSelect:
        compile_select();
        return {};
    }
  }
  throw Error(kExitFailure, format("Unkown how to handle '%c' at line %i\n", lex_.peek(), lex_.line()));
}

void ScriptCompiler::compile_if(int line) {
  ++if_depth_;
  output_.emit(qb::kIf);
  size_t pending = output_.reserve_short();
  for (;;) {
    const std::string_view stop = compile_statements();
    if (stop == word_of(qb::kEndIf)) break;
    if (stop != word_of(qb::kElse)) throw Error(kExitFailure, format("Unclosed if block starting at line %i\n", line));
    lex_.accept(stop);
    output_.emit(qb::kElse);
    const size_t next = output_.reserve_short();
    // The jump of the if (or of the else before) leads to the first token of this branch.
    output_.patch_to_here(pending, lex_.line());
    pending = next;
  }
  lex_.accept(word_of(qb::kEndIf));
  // The last jump leads past the endif token.
  output_.patch_past_next(pending, lex_.line());
  output_.emit(qb::kEndIf);
  --if_depth_;
}

void ScriptCompiler::compile_do_if(int line) {
  ++if_depth_;
  output_.emit(qb::kDoIf);
  for (;;) {
    const std::string_view stop = compile_statements();
    if (stop == word_of(qb::kEndIf)) break;
    if (stop != word_of(qb::kDoElse))
      throw Error(kExitFailure, format("Unclosed if block starting at line %i\n", line));
    lex_.accept(stop);
    output_.emit(qb::kDoElse);
  }
  lex_.accept(word_of(qb::kEndIf));
  output_.emit(qb::kEndIf);
  --if_depth_;
}

void ScriptCompiler::compile_switch() {
  const std::string_view kCase = word_of(qb::kCase);
  const std::string_view kDefault = word_of(qb::kDefault);
  ++switch_depth_;
  output_.emit(qb::kSwitch);
  // The subject: real scripts may open with a default branch, so this loop stops there too.
  const std::string_view first = compile_statements(true);
  if (first != kCase && first != kDefault) {
    throw Error(kExitFailure, format("Switch without cases??? fuck you??? Line %i\n"
                                     "Or maybe just a foolish syntax error :P\n",
                                     lex_.line()));
  }
  JumpList breaks;  // the endcase jumps, all past end_switch
  for (;;) {
    if (lex_.accept(kCase)) {
      output_.emit(qb::kCase);
    } else if (lex_.accept(kDefault)) {
      output_.emit(qb::kDefault);
    } else {
      throw Error(kExitFailure,
                  format("Unknown switch command starting with '%c' in line %i\n", lex_.peek(), lex_.line()));
    }
    output_.emit(qb::kEndCase);
    const size_t pending = output_.reserve_short();  // to the next branch head
    const std::string_view stop = compile_statements();

    if (stop == word_of(qb::kEndCase)) {
      lex_.accept(stop);
      output_.emit(qb::kEndCase);
      breaks.add(output_.reserve_short());
      output_.patch_to_here(pending, lex_.line());
    } else if (stop == word_of(qb::kEndSwitch)) {
      lex_.accept(stop);
      output_.emit(qb::kEndSwitch);
      // The last branch leads to the end_switch token itself, every endcase past it.
      output_.patch_to_last(pending, lex_.line());
      output_.patch_list_to_here(breaks, lex_.line());
      --switch_depth_;
      return;
    } else {
      // A branch that runs straight into the next branch word: its offset leads to the next
      // branch head, as an endcase would have made it. Anything else fails at the head.
      output_.patch_to_here(pending, lex_.line());
    }
  }
}

void ScriptCompiler::compile_select() {
  lex_.accept(word_of(qb::kSelect2F));
  lex_.expect_char('(');
  const uint32_t opcode = lex_.parse_number(lex_.cursor(), true);
  lex_.skip_hex_digits();
  lex_.expect_char(',');
  output_.emit(static_cast<uint8_t>(opcode));
  const uint32_t count = lex_.parse_number(lex_.cursor(), false);
  output_.emit_u32(count);
  lex_.skip_decimal_digits();
  lex_.expect_char(',');
  const auto pairs = static_cast<int32_t>(count);
  for (int32_t i = 0; i < pairs; ++i) {
    for (int half = 0; half < 2; ++half) {
      if (!is_hex_digit(lex_.peek())) throw Error(kExitFailure, "Wrong select syntax...\n");
      output_.emit(static_cast<uint8_t>(lex_.parse_number(lex_.cursor(), true)));
      lex_.skip_hex_digits();
      lex_.skip_blanks();
    }
  }
  lex_.expect_char(')');
}

void ScriptCompiler::compile_include(int line) {
  const std::string name(lex_.read_string());
  out_ << format("Including: '%s'\n...", name.c_str());
  std::optional<LoadedSource> loaded;
  if (loader_) loaded = loader_(name);
  if (!loaded) throw Error(kExitFailure, "Couldn't open file!");
  if (std::find(files_.begin(), files_.end(), loaded->identity) != files_.end()) {
    throw Error(kExitFailure, format("Recursive include of '%s' at line %i\n", name.c_str(), line));
  }

  files_.push_back(loaded->identity);
  shown_.push_back(name);
  reserve_names_for(loaded->text);
  Lexer saved = std::exchange(lex_, Lexer(std::move(loaded->text)));
  lex_.skip_blanks();
  const std::string_view stop = compile_statements();
  if (!stop.empty()) {
    // The word would end a block of the including file and silently drop the rest of this one.
    throw Error(kExitFailure, format("'%s' in an included file closes a block opened outside it - line %i\n",
                                     std::string(stop).c_str(), lex_.line()));
  }
  lex_ = std::move(saved);
  files_.pop_back();
  shown_.pop_back();

  out_ << "done.\n";
  lex_.skip_blanks();
}

void ScriptCompiler::reserve_names_for(const Bytes& text) {
  // Every name declaration begins with '#'; capacity for that many spares the name table from
  // regrowing its indexes while a table file of thousands of names is read.
  size_t hashes = 0;
  for (const uint8_t *p = text.data(), *end = p + text.size();
       (p = static_cast<const uint8_t*>(std::memchr(p, '#', static_cast<size_t>(end - p)))) != nullptr; ++p) {
    ++hashes;
  }
  if (hashes > 0) names_.reserve(names_.size() + hashes, text.size());
}

Bytes ScriptCompiler::compile(Bytes text, const std::string& identity, const std::string& shown_name) {
  files_.assign(1, identity);
  shown_.assign(1, shown_name);
  // A decompiled text is about twice the size of its QB file.
  output_.reserve(text.size() / 2 + 64);
  lex_ = Lexer(std::move(text));
  lex_.skip_blanks();
  compile_statements();

  for (const qb::NameEntry entry : names_.entries()) {
    output_.emit(qb::kNameRecord);
    output_.emit_name_record_operand(entry.checksum, entry.name);
  }
  output_.emit(qb::kEnd);
  output_.resolve_long_offsets();
  return output_.take();
}

}  // namespace qbkit::compiler
