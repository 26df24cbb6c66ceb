// What a compile finds wrong in script text, as a value: the compiler reports diagnostics into
// a sink and prints nothing; the commands render them for a console, the way compilers print
// theirs and editors' problem matchers read them:
//
//   FILE:LINE:COLUMN: error: MESSAGE [CODE]
//   FILE:LINE:COLUMN: warning: MESSAGE [CODE]
//   FILE: error: MESSAGE [CODE]                 (no place in the text)
//   qbkit: warning: MESSAGE [CODE]              (about the command line)
//
// A note follows a diagnostic on a line of its own, at the same place and without a code.
#pragma once

#include <string>
#include <string_view>

namespace qbkit {

enum class Severity : unsigned char { kError, kWarning, kNote };

// The codes: short words that stay the same from release to release, so that scripts and
// editors can tell diagnostics apart. README.md lists each with an example.
namespace code {
inline constexpr std::string_view kCannotOpen = "cannot-open";
inline constexpr std::string_view kCannotWrite = "cannot-write";
inline constexpr std::string_view kUnexpectedChar = "unexpected-char";
inline constexpr std::string_view kMissingPunctuation = "missing-punctuation";
inline constexpr std::string_view kUnknownCommand = "unknown-command";
inline constexpr std::string_view kBadNumber = "bad-number";
inline constexpr std::string_view kUnknownName = "unknown-name";
inline constexpr std::string_view kUnclosedBlock = "unclosed-block";
inline constexpr std::string_view kStrayCloser = "stray-closer";
inline constexpr std::string_view kWrongCloser = "wrong-closer";
inline constexpr std::string_view kNestedFunction = "nested-function";
inline constexpr std::string_view kMissingCase = "missing-case";
inline constexpr std::string_view kMissingEndcase = "missing-endcase";
inline constexpr std::string_view kBadSelect = "bad-select";
inline constexpr std::string_view kMissingTarget = "missing-target";
inline constexpr std::string_view kUnclosedString = "unclosed-string";
inline constexpr std::string_view kAfterEnd = "after-end";
inline constexpr std::string_view kRecursiveInclude = "recursive-include";
inline constexpr std::string_view kTooLong = "too-long";
inline constexpr std::string_view kTooDeep = "too-deep";
inline constexpr std::string_view kBom = "bom";
inline constexpr std::string_view kUtf16 = "utf16";
inline constexpr std::string_view kQbFile = "qb-file";
inline constexpr std::string_view kEncoding = "encoding";
inline constexpr std::string_view kChecksumMismatch = "checksum-mismatch";
inline constexpr std::string_view kCommandLine = "command-line";
}  // namespace code

struct Diagnostic {
  std::string file;  // as the command line or the "%include" line gives it; "qbkit" for the command line
  int line = 0;      // from 1; 0 when the diagnostic has no place in the text
  int column = 0;    // the byte column from 1: the text holds one byte per character
  Severity severity = Severity::kError;
  std::string_view code;  // one of the codes above; empty for a note
  std::string message;
  std::string note;  // advice on a note line of its own after the diagnostic; may be empty
};

// The diagnostic's line, and its note's line when it has one, each ending in a line feed.
std::string render(const Diagnostic& d);

// Where a compile puts what it finds.
class DiagnosticSink {
 public:
  virtual ~DiagnosticSink() = default;
  virtual void report(const Diagnostic& d) = 0;
};

}  // namespace qbkit
