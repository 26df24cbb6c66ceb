// The statement loop and its block handlers: both conditional forms, the switch in both
// token layouts, select and %include. Tokens are emitted as the text is read; short offsets
// are reserved as two zero bytes and filled in when their block closes.
#include <algorithm>
#include <optional>
#include <utility>
#include <ostream>

#include "common/error.h"
#include "common/format.h"
#include "compiler/script_compiler.h"
#include "qb/tokens.h"

namespace qbkit::compiler {
namespace {

enum class Action : uint8_t {
  kToken,        // emit the token
  kIf,           // conditional with offsets
  kDoIf,         // conditional without offsets
  kIfStop,       // endif, else, doElse
  kSwitch,       // switch
  kSwitchStop,   // case, endcase, end_switch
  kNothing,      // call, arguments: read as nothing
  kSelect,       // select(...)
  kDefaultStop,  // default, ends the loop that compiles a switch subject
};

struct Keyword {
  std::string_view text;
  Action action;
  uint8_t token;
  bool thug1_only = false;
  bool standard_only = false;
};

// The keyword spelling of a token: its text form without the surrounding blanks.
std::string_view keyword_of(qb::Op op) {
  std::string_view text = qb::token_info(op)->text;
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// The keywords in the order they are tried. A keyword matches at the start of any longer
// word, so the order decides between keywords that share a beginning.
const std::vector<Keyword>& keywords() {
  static const std::vector<Keyword> table = [] {
    auto token = [](qb::Op op) { return Keyword{keyword_of(op), Action::kToken, op}; };
    auto action = [](std::string_view text, Action a) { return Keyword{text, a, 0}; };
    std::vector<Keyword> t = {
        token(qb::kFunction),
        token(qb::kEndFunction),
        token(qb::kWhile),
        token(qb::kLoopTo),
        token(qb::kContinue),
        action(keyword_of(qb::kIf), Action::kIf),
        action(keyword_of(qb::kDoIf), Action::kDoIf),
        token(qb::kNot),
        token(qb::kOr),
        token(qb::kAnd),
        token(qb::kIsNull),
        token(qb::kReturn),
        action(keyword_of(qb::kEndIf), Action::kIfStop),
        action(keyword_of(qb::kElse), Action::kIfStop),
        action(keyword_of(qb::kDoElse), Action::kIfStop),
        action(keyword_of(qb::kSwitch), Action::kSwitch),
    };
    // THUG1 layout: the branch words are plain tokens.
    for (qb::Op op : {qb::kCase, qb::kDefault, qb::kEndSwitch}) {
      Keyword k = token(op);
      k.thug1_only = true;
      t.push_back(k);
    }
    t.push_back(action(keyword_of(qb::kCase), Action::kSwitchStop));
    t.push_back(action(keyword_of(qb::kEndCase), Action::kSwitchStop));
    t.push_back(action(keyword_of(qb::kEndSwitch), Action::kSwitchStop));
    Keyword default_stop = action(keyword_of(qb::kDefault), Action::kDefaultStop);
    default_stop.standard_only = true;
    t.push_back(default_stop);
    t.push_back(action("call", Action::kNothing));
    t.push_back(action("arguments", Action::kNothing));
    t.push_back(action("select", Action::kSelect));
    t.push_back(token(qb::kRandomRange));
    return t;
  }();
  return table;
}

// Counts one level of recursion of the statement loop for as long as it lives.
class NestingGuard {
 public:
  NestingGuard(int& nesting, int line) : nesting_(nesting) {
    if (++nesting_ > ScriptCompiler::kMaxNesting) {
      throw Error(1, format("Blocks nested too deeply at line %i\n", line));
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

void ScriptCompiler::compile_statements(bool stop_at_default) {
  NestingGuard guard(nesting_, lex_.line_number());
  while (!lex_.at_end()) {
    switch (lex_.peek()) {
      case '#':
        lex_.advance(1);
        lex_.read_hash_line(names_);
        break;
      case '%': {
        const int line = lex_.line_number();
        lex_.advance(1);
        const std::string_view word = lex_.read_word();
        if (word == "include") {
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
        if (!compile_keyword(stop_at_default)) return;
        break;
    }
  }
}

bool ScriptCompiler::compile_keyword(bool stop_at_default) {
  for (const Keyword& k : keywords()) {
    if ((k.thug1_only && !settings_.thug1) || (k.standard_only && settings_.thug1)) continue;
    if (!lex_.starts_with(k.text)) continue;
    const int line = lex_.line_number();
    switch (k.action) {
      case Action::kToken:
        lex_.advance(k.text.size());
        lex_.skip_blanks();
        output_.emit(k.token);
        return true;
      case Action::kIf:
      case Action::kDoIf:
        lex_.advance(k.text.size());
        lex_.skip_blanks();
        if (k.action == Action::kIf) {
          compile_if(line);
        } else {
          compile_do_if(line);
        }
        return true;
      case Action::kIfStop:
        if (if_depth_ != 0) return false;
        throw Error(1, format("endif/else without if at line %i\n", line));
      case Action::kSwitch:
        lex_.advance(k.text.size());
        lex_.skip_blanks();
        if (settings_.thug1) {
          output_.emit(qb::kSwitch);
        } else {
          compile_switch();
        }
        return true;
      case Action::kSwitchStop:
        if (switch_depth_ != 0) return false;
        throw Error(1, format("case/endcase/endswitch without switch at line %i\n", line));
      case Action::kDefaultStop:
        if (stop_at_default) return false;
        continue;
      case Action::kNothing:
        lex_.advance(k.text.size());
        lex_.skip_blanks();
        return true;
      case Action::kSelect:
        compile_select();
        return true;
    }
  }
  throw Error(1, format("Unkown how to handle '%c' at line %i\n", lex_.peek(), lex_.line_number()));
}

void ScriptCompiler::compile_if(int line) {
  ++if_depth_;
  output_.emit(qb::kIf);
  size_t pending = output_.reserve_short();
  for (;;) {
    compile_statements();
    if (lex_.starts_with("endif")) break;
    if (!lex_.starts_with("else")) throw Error(1, format("Unclosed if block starting at line %i\n", line));
    lex_.advance(4);
    lex_.skip_blanks();
    output_.emit(qb::kElse);
    const size_t next = output_.reserve_short();
    output_.fill_short(pending, output_.position() - pending, lex_.line_number());
    pending = next;
  }
  lex_.advance(5);
  lex_.skip_blanks();
  output_.fill_short(pending, output_.position() - pending + 1, lex_.line_number());
  output_.emit(qb::kEndIf);
  --if_depth_;
}

void ScriptCompiler::compile_do_if(int line) {
  ++if_depth_;
  output_.emit(qb::kDoIf);
  for (;;) {
    compile_statements();
    if (lex_.starts_with("endif")) break;
    if (!lex_.starts_with("doElse")) throw Error(1, format("Unclosed if block starting at line %i\n", line));
    lex_.advance(6);
    lex_.skip_blanks();
    output_.emit(qb::kDoElse);
  }
  lex_.advance(5);
  lex_.skip_blanks();
  output_.emit(qb::kEndIf);
  --if_depth_;
}

void ScriptCompiler::compile_switch() {
  ++switch_depth_;
  output_.emit(qb::kSwitch);
  // The subject: real scripts may open with a default branch, so this loop stops there too.
  compile_statements(true);
  if (!lex_.starts_with("case") && !lex_.starts_with("defa")) {
    throw Error(1, format("Switch without cases??? fuck you??? Line %i\n"
                          "Or maybe just a foolish syntax error :P\n",
                          lex_.line_number()));
  }
  std::vector<size_t> breaks;
  for (;;) {
    if (lex_.starts_with("case")) {
      lex_.advance(4);
      lex_.skip_blanks();
      output_.emit(qb::kCase);
    } else if (lex_.starts_with("default")) {
      lex_.advance(7);
      lex_.skip_blanks();
      output_.emit(qb::kDefault);
    } else {
      throw Error(1, format("Unknown switch command starting with '%c' in line %i\n", lex_.peek(),
                            lex_.line_number()));
    }
    output_.emit(qb::kEndCase);
    const size_t pending = output_.reserve_short();
    compile_statements();

    if (lex_.starts_with("endcase")) {
      lex_.advance(7);
      lex_.skip_blanks();
      output_.emit(qb::kEndCase);
      breaks.push_back(output_.reserve_short());
      output_.fill_short(pending, output_.position() - pending, lex_.line_number());
    } else if (lex_.starts_with("end_switch")) {
      lex_.advance(10);
      lex_.skip_blanks();
      output_.emit(qb::kEndSwitch);
      output_.fill_short(pending, output_.position() - pending - 1, lex_.line_number());
      for (auto it = breaks.rbegin(); it != breaks.rend(); ++it) {
        output_.fill_short(*it, output_.position() - *it, lex_.line_number());
      }
      --switch_depth_;
      return;
    } else {
      // A branch that runs straight into the next "case": its offset leads to the next
      // branch head, as an endcase would have made it. Anything else fails at the head.
      output_.fill_short(pending, output_.position() - pending, lex_.line_number());
    }
  }
}

void ScriptCompiler::compile_select() {
  lex_.advance(6);
  lex_.skip_blanks();
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
      if (!is_hex_digit(lex_.peek())) throw Error(1, "Wrong select syntax...\n");
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
  if (!loaded) throw Error(1, "Couldn't open file!");
  if (std::find(files_.begin(), files_.end(), loaded->identity) != files_.end()) {
    throw Error(1, format("Recursive include of '%s' at line %i\n", name.c_str(), line));
  }

  files_.push_back(loaded->identity);
  Lexer saved = std::exchange(lex_, Lexer(std::move(loaded->text)));
  lex_.skip_blanks();
  compile_statements();
  lex_ = std::move(saved);
  files_.pop_back();

  out_ << "done.\n";
  lex_.skip_blanks();
}

Bytes ScriptCompiler::compile(Bytes text, const std::string& identity) {
  files_.assign(1, identity);
  lex_ = Lexer(std::move(text));
  lex_.skip_blanks();
  compile_statements();

  for (const qb::NameEntry entry : names_.entries()) {
    output_.emit(qb::kNameRecord);
    output_.emit_u32(entry.checksum);
    output_.emit_text(entry.name);
    output_.emit(0);
  }
  output_.emit(qb::kEnd);
  output_.resolve_fixups();
  return output_.take();
}

}  // namespace qbkit::compiler
