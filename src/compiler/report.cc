// Reporting a problem: the diagnostic goes to the log at once; what happens next depends on
// the mode. Without `check` an error ends the compile with the Error whose message mode c
// prints; with `check`, an Error only carries the statement loop to where it resumes.
#include <cstring>

#include "common/format.h"
#include "compiler/script_compiler.h"

namespace qbkit::compiler {

void ScriptCompiler::record(Severity severity, Problem p, bool placed) {
  const uint32_t source = p.source == Problem::kCurrentSource ? source_ : p.source;
  if (silenced_ && source == 0) return;
  log_.add(sources_, Report{{source, p.at}, placed, severity, p.code, std::move(p.message), std::move(p.note)});
}

// Any error in a main text that holds a zero byte: no script text does, a compiled QB file
// always does. The error then says so, and the rest of that text is not checked.
bool ScriptCompiler::qb_file_error(Problem& p) {
  if (source_ != 0 || p.source != Problem::kCurrentSource || p.code == code::kUtf16) return false;
  if (!main_holds_zero_) {
    const ByteSpan text = sources_.text(0);
    main_holds_zero_ = std::memchr(text.data(), 0, text.size()) != nullptr;
  }
  if (!*main_holds_zero_) return false;
  p.code = code::kQbFile;
  p.message = "this is a compiled QB file: decompile it with -d";
  p.note.clear();
  return true;
}

void ScriptCompiler::fail(Problem p, ExitStatus status, std::string legacy, size_t resume) {
  const bool qb_file = qb_file_error(p);
  if (resume == kNextLine) resume = lex_.next_line(p.at);
  if (qb_file) resume = SIZE_MAX;
  record(Severity::kError, std::move(p));
  if (!options_.check) throw Error(status, std::move(legacy));
  silenced_ = silenced_ || qb_file;
  resume_at(resume);
}

void ScriptCompiler::error(Problem p, ExitStatus status, std::string legacy) {
  if (!options_.check || (source_ == 0 && qb_file_error(p))) fail(std::move(p), status, std::move(legacy));
  record(Severity::kError, std::move(p));
}

void ScriptCompiler::finding(Problem p) { record(options_.check ? Severity::kError : Severity::kWarning, std::move(p)); }

void ScriptCompiler::warning(Problem p) { record(Severity::kWarning, std::move(p)); }

void ScriptCompiler::resume_at(size_t pos) {
  resume_ = pos;
  throw Error(kExitFailure, std::string());
}

std::string ScriptCompiler::shown_at(size_t at) const {
  if (at >= sources_.text(source_).size()) return "the end of the file";
  const uint8_t c = lex_.at(at);
  if (c == '\n' || c == '\r') return "the end of the line";
  if (c >= 0x20 && c < 0x7f) return format("'%c'", c);
  return format("the byte 0x%02x", c);
}

}  // namespace qbkit::compiler
