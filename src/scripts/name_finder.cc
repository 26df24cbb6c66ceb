#include "scripts/name_finder.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "common/name_checksum.h"
#include "qb/words.h"

namespace qbkit::scripts {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The value of `digits` when it is 1 to 8 hexadecimal digits and nothing else.
std::optional<uint32_t> hex_value(std::string_view digits) {
  uint32_t value = 0;
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

uint32_t byte_swapped(uint32_t v) { return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24); }

// The checksum of a name as a use writes it: "[cdab3412]" is a checksum without a name, shown
// as its bytes in file order.
uint32_t use_checksum(std::string_view name) {
  if (name.size() == 10 && name.front() == '[' && name.back() == ']')
    if (const std::optional<uint32_t> shown = hex_value(name.substr(1, 8))) return byte_swapped(*shown);
  return name_checksum(name);
}

// One walk over a text, keeping the line and where it starts.
class NameScanner {
 public:
  NameScanner(std::string_view text, std::optional<uint32_t> wanted) : text_(text), wanted_(wanted) {}

  std::vector<NameOccurrence> run() && {
    while ((pos_ = text_.find_first_of("#\"$\n", pos_)) != std::string_view::npos) {
      switch (text_[pos_]) {
        case '\n':
          new_line(pos_++);
          break;
        case '"':
          skip_string();
          break;
        case '$':
          use();
          break;
        default:
          hash();
      }
    }
    return std::move(found_);
  }

 private:
  void new_line(size_t at) {
    ++line_;
    line_start_ = at + 1;
  }

  // From an opening quote past the closing one; a string may hold line ends.
  void skip_string() {
    const size_t close = text_.find('"', pos_ + 1);
    const size_t end = close == std::string_view::npos ? text_.size() : close;
    for (size_t at = text_.find('\n', pos_ + 1); at < end; at = text_.find('\n', at + 1)) new_line(at);
    pos_ = end + 1;
  }

  void add(NameRole role, uint32_t checksum, std::string_view name, size_t at) {
    if (wanted_ && *wanted_ != checksum) return;
    found_.push_back({role, checksum, name, at, line_, static_cast<int>(at - line_start_ + 1)});
  }

  // A "$NAME$" on one line: a definition after the word "function", else a use.
  void use() {
    const size_t close = text_.find_first_of("$\n", pos_ + 1);
    if (close == std::string_view::npos || text_[close] == '\n') {
      ++pos_;
      return;
    }
    const std::string_view name = text_.substr(pos_ + 1, close - pos_ - 1);
    size_t word = pos_;
    while (word > line_start_ && is_blank(text_[word - 1])) --word;
    constexpr std::string_view kFunction = "function";
    const bool defines = word < pos_ && word >= line_start_ + kFunction.size() &&
                         text_.substr(word - kFunction.size(), kFunction.size()) == kFunction &&
                         (word - kFunction.size() == line_start_ || is_blank(text_[word - kFunction.size() - 1]));
    add(defines ? NameRole::kDefinition : NameRole::kUse, use_checksum(name), name,
        defines ? word - kFunction.size() : pos_);
    pos_ = close + 1;
  }

  // "#/" starts a comment to the end of the line; "#addx" declares a name.
  void hash() {
    const std::string_view rest = text_.substr(pos_ + 1);
    if (rest.starts_with('/')) {
      pos_ = std::min(text_.size(), text_.find('\n', pos_));
      return;
    }
    if (!rest.starts_with(qb::kAddxWord)) {
      ++pos_;
      return;
    }
    declaration(pos_ + 1 + qb::kAddxWord.size());
  }

  // "#addx", blanks, "0x" and the checksum if given, blanks and the name in quotes on the line.
  void declaration(size_t at) {
    const size_t start = pos_;
    while (at < text_.size() && is_blank(text_[at])) ++at;
    std::optional<uint32_t> checksum;
    if (text_.substr(at, 2) == "0x") {
      size_t end = at + 2;
      while (end < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[end]))) ++end;
      checksum = hex_value(text_.substr(at + 2, end - at - 2));
      at = end;
      while (at < text_.size() && is_blank(text_[at])) ++at;
    }
    const size_t close = at < text_.size() && text_[at] == '"' ? text_.find_first_of("\"\n", at + 1) : at;
    if (close == at || close == std::string_view::npos || text_[close] == '\n') {
      pos_ = at;  // no name on this line: the rest is read as any text
      return;
    }
    const std::string_view name = text_.substr(at + 1, close - at - 1);
    add(NameRole::kDeclaration, checksum ? *checksum : name_checksum(name), name, start);
    pos_ = close + 1;
  }

  std::string_view text_;
  std::optional<uint32_t> wanted_;
  std::vector<NameOccurrence> found_;
  size_t pos_ = 0;
  int line_ = 1;
  size_t line_start_ = 0;
};

}  // namespace

std::string_view role_word(NameRole role) {
  switch (role) {
    case NameRole::kDeclaration:
      return "declaration";
    case NameRole::kDefinition:
      return "definition";
    case NameRole::kUse:
      break;
  }
  return "use";
}

std::vector<NameOccurrence> find_names(std::string_view text, std::optional<uint32_t> checksum) {
  return NameScanner(text, checksum).run();
}

uint32_t wanted_checksum(std::string_view name) {
  if (name.size() > 2 && name[0] == '0' && (name[1] == 'x' || name[1] == 'X'))
    if (const std::optional<uint32_t> value = hex_value(name.substr(2))) return *value;
  return name_checksum(name);
}

}  // namespace qbkit::scripts
