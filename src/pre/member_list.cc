#include "pre/member_list.h"

namespace qbkit::pre {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";  // what Notepad puts before UTF-8 text
constexpr std::string_view kBlanks = " \t";

bool is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::string_view trim_end(std::string_view s) {
  const size_t last = s.find_last_not_of(kBlanks);
  return last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1);
}

// `line` without a final shown checksum ("0x" and 8 hex digits after at least one blank or
// tab) and the blanks and tabs around it.
std::string_view without_shown_checksum(std::string_view line) {
  constexpr size_t kLength = 10;
  line = trim_end(line);
  if (line.size() <= kLength) return line;
  const std::string_view tail = line.substr(line.size() - kLength);
  const std::string_view rest = line.substr(0, line.size() - kLength);
  if (!tail.starts_with("0x") || kBlanks.find(rest.back()) == std::string_view::npos) return line;
  for (char c : tail.substr(2))
    if (!is_hex(c)) return line;
  return trim_end(rest);
}

}  // namespace

std::vector<std::string> parse_member_list(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  std::vector<std::string> names;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    line = without_shown_checksum(line);
    if (!line.empty()) names.emplace_back(line);
  }
  return names;
}

}  // namespace qbkit::pre
