#include "lsp/uri.h"

#include <cctype>

#include "common/platform.h"

namespace qbkit::lsp {
namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "%XX" escapes decoded; a '%' not followed by two hex digits stands for itself.
std::u8string percent_decoded(std::string_view s) {
  std::u8string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && hex_value(s[i + 1]) >= 0 && hex_value(s[i + 2]) >= 0) {
      out.push_back(static_cast<char8_t>(hex_value(s[i + 1]) * 16 + hex_value(s[i + 2])));
      i += 2;
    } else {
      out.push_back(static_cast<char8_t>(s[i]));
    }
  }
  return out;
}

bool starts_with_ignoring_case(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<std::filesystem::path> path_from_uri(std::string_view uri) {
  constexpr std::string_view kScheme = "file://";
  if (!starts_with_ignoring_case(uri, kScheme)) return std::nullopt;
  uri.remove_prefix(kScheme.size());
  uri = uri.substr(0, uri.find_first_of("?#"));
  const size_t slash = uri.find('/');
  const std::string_view host = uri.substr(0, slash);
  std::u8string path = percent_decoded(slash == std::string_view::npos ? std::string_view() : uri.substr(slash));
  if (path.empty()) return std::nullopt;
  if (!host.empty() && host != "localhost") return std::nullopt;
  // "/c:/x" names the drive path "c:/x".
  if (kOnWindows && path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[1])) && path[2] == u8':') {
    path.erase(0, 1);
  }
  return std::filesystem::path(path);
}

std::string uri_unescaped(std::string_view escaped) {
  const std::u8string bytes = percent_decoded(escaped);
  return std::string(bytes.begin(), bytes.end());
}

std::string uri_escaped(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (const char byte : bytes) {
    const auto c = static_cast<unsigned char>(byte);
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      escaped.push_back(byte);
    } else {
      escaped.push_back('%');
      escaped.push_back(kHex[c >> 4]);
      escaped.push_back(kHex[c & 15]);
    }
  }
  return escaped;
}

std::string uri_from_path(const std::filesystem::path& path) {
  std::u8string p = path.generic_u8string();
  if (p.empty() || p[0] != u8'/') p.insert(p.begin(), u8'/');  // "c:/x" is "/c:/x"
  return "file://" + uri_escaped(std::string_view(reinterpret_cast<const char*>(p.data()), p.size()));
}

}  // namespace qbkit::lsp
