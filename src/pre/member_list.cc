#include "pre/member_list.h"

namespace qbkit::pre {
namespace {

bool is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// " 0x" and 8 hex digits at the end of `line`.
bool ends_with_shown_checksum(std::string_view line) {
  constexpr size_t kLength = 11;
  if (line.size() < kLength) return false;
  std::string_view tail = line.substr(line.size() - kLength);
  if (!tail.starts_with(" 0x")) return false;
  for (char c : tail.substr(3))
    if (!is_hex(c)) return false;
  return true;
}

bool is_blank(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

}  // namespace

std::vector<std::string> parse_member_list(std::string_view text) {
  std::vector<std::string> names;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (is_blank(line)) continue;
    if (ends_with_shown_checksum(line)) line.remove_suffix(11);
    names.emplace_back(line);
  }
  return names;
}

}  // namespace qbkit::pre
