// Words of script text that stand for no single token, and the names of the files that go
// with a QB file. Like the token table, this is the one place that spells them.
#pragma once

#include <string>
#include <string_view>

namespace qbkit::qb {

// Colon commands that write no token of their own: ":OFFSET(n)" is a long offset to jump
// target n, ":POS(n)" marks where jump target n lies.
inline constexpr std::string_view kOffsetWord = "OFFSET";
inline constexpr std::string_view kPosWord = "POS";

// "%include" reads another source text in place.
inline constexpr std::string_view kIncludeWord = "include";

// "#addx 0x<checksum> \"<name>\"" declares a name: the table file's lines.
inline constexpr std::string_view kAddxWord = "addx";

// Keywords the compiler reads as nothing.
inline constexpr std::string_view kCallWord = "call";
inline constexpr std::string_view kArgumentsWord = "arguments";

// The first line of a text in the THUG1 layout, as unpack writes it: a comment to any reader,
// and to the compiler the -thug1 switch.
inline constexpr std::string_view kThug1LayoutLine = "#/ layout: THUG1";

// Whether the first line of `text` is kThug1LayoutLine (ended by a line feed, a carriage
// return and a line feed, or the end of the text).
inline bool starts_with_thug1_line(std::string_view text) {
  if (!text.starts_with(kThug1LayoutLine)) return false;
  const std::string_view rest = text.substr(kThug1LayoutLine.size());
  return rest.empty() || rest.starts_with('\n') || rest.starts_with("\r\n");
}

// The table file of names beside a decompiled QB file, and mode t's raw copy of its records.
inline constexpr std::string_view kTableFileSuffix = "_table.qbi";
inline constexpr std::string_view kRawTableSuffix = ".tab";

inline std::string table_file_path(std::string_view qb_path) {
  std::string path(qb_path);
  path += kTableFileSuffix;
  return path;
}

}  // namespace qbkit::qb
