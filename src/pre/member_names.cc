#include "pre/member_names.h"

#include <unordered_map>

#include "common/error.h"
#include "common/format.h"
#include "common/name_checksum.h"
#include "common/platform.h"

namespace qbkit::pre {
namespace {

constexpr size_t kMaxPartLength = 255;  // longest file name the file systems take

bool is_separator(char c) { return c == '\\' || c == '/'; }

// A byte below 0x20, or DEL: neither belongs in a file name.
bool is_control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

bool has_drive_prefix(std::string_view name) {
  return name.size() >= 2 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')) &&
         name[1] == ':';
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// The digits that Windows takes after COM and LPT in a device name: 0-9, and the
// superscripts 1, 2 and 3, in their single bytes of Windows-1252 and in UTF-8.
bool is_device_digit(std::string_view digit) {
  if (digit.size() == 1) return (digit[0] >= '0' && digit[0] <= '9') || digit == "\xB9" || digit == "\xB2" || digit == "\xB3";
  return digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

// A name, lowered, that opens a device on Windows, whatever extension follows it.
bool is_device_name(std::string_view base) {
  for (std::string_view device : {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"})
    if (base == device) return true;
  return (base.starts_with("com") || base.starts_with("lpt")) && is_device_digit(base.substr(3));
}

// A part Windows would not create as named: it drops a trailing dot or blank, refuses the
// characters <>:"|?* (':' would also name a stream or a drive), and opens a device for a
// device name.
bool windows_cannot_hold(std::string_view part) {
  if (part == ".") return false;  // the current directory
  if (part.back() == '.' || part.back() == ' ' || part.find_first_of("<>:\"|?*") != std::string_view::npos)
    return true;
  std::string base(part.substr(0, part.find('.')));
  for (char& c : base) c = lower(c);
  while (!base.empty() && base.back() == ' ') base.pop_back();
  return is_device_name(base);
}

}  // namespace

std::vector<std::string> name_parts(std::string_view name) {
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < name.size()) {
    while (i < name.size() && is_separator(name[i])) ++i;
    size_t start = i;
    while (i < name.size() && !is_separator(name[i])) ++i;
    if (i > start) parts.emplace_back(name.substr(start, i - start));
  }
  return parts;
}

bool is_safe_member_name(std::string_view name) {
  if (name.empty() || is_separator(name.front()) || is_separator(name.back())) return false;
  std::vector<std::string> parts = name_parts(name);
  // A drive letter and colon anywhere, not only in front: on Windows a path part like "C:"
  // restarts the path on that drive, so "a\C:\x.qb" would make directories outside.
  for (const std::string& part : parts) {
    if (part == ".." || has_drive_prefix(part) || part.size() > kMaxPartLength) return false;
    if (kWindowsFileNames && windows_cannot_hold(part)) return false;
  }
  // The last part becomes a file: "." names a directory and cannot be one.
  return !parts.empty() && parts.back() != ".";
}

bool is_storable_member_name(std::string_view name) {
  if (!is_safe_member_name(name)) return false;
  for (char c : name)
    if (is_control(c)) return false;
  for (const std::string& part : name_parts(name))
    if (windows_cannot_hold(part)) return false;
  return true;
}

void throw_unsafe_name(std::string_view name) {
  throw Error(kExitFailure, format("Refusing unsafe member name '%s'\n", show_control_bytes(name).c_str()),
              Echo::kWhenRedirected);
}

void check_storable(std::span<const std::string> names) {
  for (const std::string& name : names)
    if (!is_storable_member_name(name)) throw_unsafe_name(name);
}

void check_one_file_per_member(std::span<const std::string> files) {
  std::unordered_map<std::string, size_t> first;
  for (size_t k = 0; k < files.size(); ++k) {
    const auto [it, fresh] = first.try_emplace(member_key(files[k]), k);
    if (!fresh)
      throw Error(kExitFailure,
                  format("'%s' and '%s' name the same member; nothing was changed\n", files[it->second].c_str(),
                         files[k].c_str()),
                  Echo::kWhenRedirected);
  }
}

std::string member_output_path(std::string_view name) {
  std::string path;
  for (const std::string& part : name_parts(name)) {
    if (part == ".") continue;  // the directory it is in: "a/./b" is "a/b"
    if (!path.empty()) path += '/';
    path += part;
  }
  return path;
}

std::string tidy_member_name(std::string_view name) {
  std::string tidy;
  char separator = 0;  // the first separator since the last part kept
  size_t i = 0;
  while (i < name.size()) {
    if (is_separator(name[i])) {
      if (separator == 0) separator = name[i];
      ++i;
      continue;
    }
    const size_t start = i;
    while (i < name.size() && !is_separator(name[i])) ++i;
    const std::string_view part = name.substr(start, i - start);
    if (part == ".") continue;
    if (!tidy.empty()) tidy += separator;
    tidy += part;
    separator = 0;
  }
  return tidy;
}

std::string member_key(std::string_view name) {
  std::string key = tidy_member_name(name);
  for (char& c : key) c = static_cast<char>(fold_name_byte(static_cast<uint8_t>(c)));
  return key;
}

}  // namespace qbkit::pre
