#include "lsp/script_scan.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "common/name_checksum.h"
#include "compiler/lexer.h"
#include "qb/tokens.h"
#include "qb/words.h"

namespace qbkit::lsp {
namespace {

using compiler::is_blank;
using compiler::is_hex_digit;
using compiler::is_word_char;

bool word_char_at(std::string_view text, size_t at) {
  return at < text.size() && is_word_char(static_cast<uint8_t>(text[at]));
}

// Whether the whole word `word` stands at `at`: no word character before or after it.
bool word_at(std::string_view text, size_t at, std::string_view word) {
  return text.compare(at, word.size(), word) == 0 && !word_char_at(text, at + word.size()) &&
         (at == 0 || !word_char_at(text, at - 1));
}

size_t skip_blanks(std::string_view text, size_t at) {
  while (at < text.size() && is_blank(static_cast<uint8_t>(text[at]))) ++at;
  return at;
}

uint32_t hex_value(char c) {
  return static_cast<uint32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
}

size_t line_end(std::string_view text, size_t at) { return std::min(text.find('\n', at), text.size()); }

// The quoted text whose opening quote is at `at`: the span between the quotes, and the end
// after the closing one (the end of the text when it is missing).
struct Quoted {
  Span inside;
  size_t end;
};
Quoted quoted_at(std::string_view text, size_t at) {
  const size_t close = std::min(text.find('"', at + 1), text.size());
  return {{at + 1, close}, std::min(close + 1, text.size())};
}

// The name of "$...$" whose first sign is at `at`, when its closing sign stands on that line.
bool read_name(std::string_view text, size_t at, NameMention& out) {
  const size_t close = text.find_first_of("$\n", at + 1);
  if (close == std::string_view::npos || text[close] != '$') return false;
  size_t start = at + 1, end = close;
  size_t s = skip_blanks(text, start), e = end;
  while (e > s && is_blank(static_cast<uint8_t>(text[e - 1]))) --e;
  if (s < e && std::all_of(text.begin() + s, text.begin() + e, [](char c) { return is_word_char(uint8_t(c)); }))
    start = s, end = e;
  out.whole = {at, close + 1};
  out.name = {start, end};
  out.checksum = name_checksum(out.name.in(text));
  return true;
}

class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}
  ScriptScan run();

 private:
  void hash(size_t at);
  void percent(size_t at);
  void dollar(size_t at);
  void word(size_t at);
  void close_function(size_t body_end, size_t end);

  std::string_view text_;
  size_t at_ = 0;
  ScriptScan scan_;
  bool in_function_ = false;
};

ScriptScan Scanner::run() {
  while (at_ < text_.size()) {
    const size_t at = at_;
    switch (text_[at]) {
      case '#': hash(at); break;
      case '%': percent(at); break;
      case '$': dollar(at); break;
      case '"': at_ = quoted_at(text_, at).end; break;
      default: word(at); break;
    }
  }
  close_function(text_.size(), text_.size());
  return std::move(scan_);
}

// A "#/" comment to the end of its line, or an "#addx" line.
void Scanner::hash(size_t at) {
  at_ = at + 1;
  if (text_.compare(at_, 1, "/") == 0) {
    at_ = line_end(text_, at_);
    return;
  }
  if (text_.compare(at_, qb::kAddxWord.size(), qb::kAddxWord) != 0) return;
  size_t p = skip_blanks(text_, at_ + qb::kAddxWord.size());
  std::optional<uint32_t> checksum;
  if (p < text_.size() && text_[p] != '"') {
    p = std::min(p + 2, text_.size());  // the "0x", as the compiler takes it, unexamined
    uint32_t value = 0;
    for (; p < text_.size() && is_hex_digit(static_cast<uint8_t>(text_[p])); ++p) value = value * 16 + hex_value(text_[p]);
    checksum = value;
    p = skip_blanks(text_, p);
  }
  if (p >= text_.size() || text_[p] != '"') return;
  const Quoted name = quoted_at(text_, p);
  if (!checksum) checksum = name_checksum(name.inside.in(text_));
  scan_.declarations.push_back({{at, name.end}, name.inside, *checksum});
  at_ = name.end;
}

// "%include" and its quoted file name; any other command word is passed over.
void Scanner::percent(size_t at) {
  at_ = at + 1;
  if (text_.compare(at_, qb::kIncludeWord.size(), qb::kIncludeWord) != 0) return;
  const size_t p = skip_blanks(text_, at_ + qb::kIncludeWord.size());
  if (p >= text_.size() || text_[p] != '"') return;
  const Quoted file = quoted_at(text_, p);
  scan_.includes.push_back({{at, file.end}, file.inside});
  at_ = file.end;
}

void Scanner::dollar(size_t at) {
  NameMention name;
  if (!read_name(text_, at, name)) {
    at_ = at + 1;
    return;
  }
  scan_.names.push_back(name);
  at_ = name.whole.end;
}

// "function" followed by its name opens a function, "endfunction" closes it; every other
// word is passed over whole, so that no keyword is found inside a longer word.
void Scanner::word(size_t at) {
  if (!word_char_at(text_, at)) {
    at_ = at + 1;
    return;
  }
  const std::string_view opener = qb::word_of(qb::kFunction), closer = qb::word_of(qb::kEndFunction);
  if (word_at(text_, at, closer)) {
    close_function(at, at + closer.size());
  } else if (word_at(text_, at, opener)) {
    const size_t p = skip_blanks(text_, at + opener.size());
    NameMention name;
    if (p < text_.size() && text_[p] == '$' && read_name(text_, p, name)) {
      close_function(at, at);
      scan_.names.push_back(name);
      scan_.functions.push_back({{at, name.whole.end}, {name.whole.end, name.whole.end}, scan_.names.size() - 1});
      in_function_ = true;
      at_ = name.whole.end;
      return;
    }
  }
  at_ = at;
  while (word_char_at(text_, at_)) ++at_;
}

void Scanner::close_function(size_t body_end, size_t end) {
  if (!in_function_) return;
  scan_.functions.back().body.end = body_end;
  scan_.functions.back().whole.end = end;
  in_function_ = false;
}

}  // namespace

ScriptScan scan_script(std::string_view text) { return Scanner(text).run(); }

std::optional<NameMention> name_at(std::string_view text, const ScriptScan& scan, size_t offset) {
  const auto after = std::upper_bound(scan.names.begin(), scan.names.end(), offset,
                                      [](size_t at, const NameMention& n) { return at < n.whole.start; });
  if (after != scan.names.begin() && offset < std::prev(after)->whole.end) return *std::prev(after);
  for (const NameDeclaration& d : scan.declarations) {
    if (offset >= d.name.start - 1 && offset <= d.name.end)
      return NameMention{{d.name.start - 1, std::min(d.name.end + 1, text.size())}, d.name,
                         name_checksum(d.name.in(text))};
  }
  return std::nullopt;
}

}  // namespace qbkit::lsp
