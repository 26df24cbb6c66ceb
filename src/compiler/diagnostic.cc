#include "compiler/diagnostic.h"

namespace qbkit {
namespace {

std::string_view severity_word(Severity s) {
  switch (s) {
    case Severity::kError: return "error";
    case Severity::kWarning: return "warning";
    case Severity::kNote: break;
  }
  return "note";
}

// "FILE:LINE:COLUMN: " or "FILE: ".
std::string place(const Diagnostic& d) {
  std::string s = d.file;
  if (d.line > 0) s.append(":").append(std::to_string(d.line)).append(":").append(std::to_string(d.column));
  return s.append(": ");
}

}  // namespace

std::string render(const Diagnostic& d) {
  const std::string where = place(d);
  std::string s = where;
  s.append(severity_word(d.severity)).append(": ").append(d.message);
  if (!d.code.empty()) s.append(" [").append(d.code).append("]");
  s += '\n';
  if (!d.note.empty()) s.append(where).append("note: ").append(d.note).append("\n");
  return s;
}

}  // namespace qbkit
