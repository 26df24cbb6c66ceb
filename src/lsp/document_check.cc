#include "lsp/document_check.h"

#include <algorithm>

#include "common/format.h"
#include "compiler/diagnostic_printer.h"
#include "compiler/lexer.h"
#include "lsp/line_map.h"

namespace qbkit::lsp {
namespace {

// Keeps what --check would print for one file: at most as many diagnostics, counted alike.
class Collector final : public DiagnosticSink {
 public:
  void report(const qbkit::Diagnostic& d) override {
    if (limit_.admit(d)) kept.push_back(d);
  }
  size_t not_shown() const { return limit_.not_shown(); }
  std::vector<qbkit::Diagnostic> kept;

 private:
  DiagnosticLimit limit_{true, kCheckDiagnosticLimit};
};

bool starts_with_bom(std::string_view text) { return text.starts_with("\xEF\xBB\xBF"); }

// The end of the text that starts at `at`, for the range to underline: a name to its closing
// dollar sign, a word to its end, anything else one byte; never past the line's end.
size_t token_end(std::string_view text, size_t at) {
  const size_t line_end = std::min(text.find('\n', at), text.size());
  if (at >= line_end) return at;
  if (text[at] == '$') {
    const size_t close = text.find('$', at + 1);
    if (close < line_end) return close + 1;
  }
  size_t end = at;
  while (end < line_end && compiler::is_word_char(static_cast<uint8_t>(text[end]))) ++end;
  return end > at ? end : at + 1;
}

// The range of a diagnostic's line and byte column (from 1; line 0: no place) in `text`.
TextRange place_range(std::string_view text, const LineMap& lines, const qbkit::Diagnostic& d) {
  if (d.line <= 0) return {};
  TextPosition start{static_cast<uint32_t>(d.line - 1), static_cast<uint32_t>(std::max(d.column, 1) - 1)};
  // On the first line, the compiler counts columns from after a byte-order mark it skipped.
  if (start.line == 0 && starts_with_bom(text)) start.column += 3;
  const size_t at = lines.offset_of(text, start);
  return {lines.position_of(text, at), lines.position_of(text, token_end(text, at))};
}

Severity severity_of(qbkit::Severity s) {
  switch (s) {
    case qbkit::Severity::kError: return Severity::kError;
    case qbkit::Severity::kWarning: return Severity::kWarning;
    case qbkit::Severity::kNote: break;
  }
  return Severity::kInformation;
}

// Each line that --check prints is one diagnostic: a note after a diagnostic stands at its place.
void add_reported(DocumentCheck& check, const SourceLoader& loader, std::map<const CheckedSource*, LineMap>& lines,
                  const qbkit::Diagnostic& d) {
  const CheckedSource* source = loader.by_name(d.file);
  if (!source) source = &loader.sources().front();
  auto [map, fresh] = lines.try_emplace(source);
  if (fresh) map->second = LineMap(source->text);
  const TextRange range = place_range(source->text, map->second, d);
  std::vector<Diagnostic>& into = check.diagnostics[source->uri];
  into.push_back({range, severity_of(d.severity), std::string(d.code), d.message});
  if (!d.note.empty()) into.push_back({range, Severity::kInformation, {}, d.note});
}

std::vector<Diagnostic> not_latin1(const Document& document) {
  std::vector<Diagnostic> found;
  for (const Substitution& s : document.substitutions()) {
    const TextPosition at = document.position_of(s.offset);
    found.push_back({{at, {at.line, at.column + 1}},
                     Severity::kError,
                     std::string(kNotLatin1Code),
                     format("U+%04X is no character of ISO 8859-1 (Latin-1): the game reads one byte per character, "
                            "and the file cannot hold this one; type a character up to U+00FF",
                            static_cast<unsigned>(s.code_point))});
  }
  return found;
}

}  // namespace

DocumentCheck check_document(const Document& document, WorkspaceFiles& files, const SourceLoader::OpenLookup& open) {
  SourceLoader loader(document, files, open);
  Collector collector;
  const CompileOptions options{Settings{}, true};
  const qbkit::SourceLoader load = [&loader](const std::string& name, const std::string& including) {
    return loader.load(name, including);
  };
  const CheckedSource& main = loader.sources().front();
  compile_text({Bytes(main.text.begin(), main.text.end()), main.name, main.key}, options, load, collector);

  DocumentCheck check;
  check.diagnostics[document.uri()] = not_latin1(document);
  std::map<const CheckedSource*, LineMap> lines;
  for (const qbkit::Diagnostic& d : collector.kept) add_reported(check, loader, lines, d);
  if (collector.not_shown() > 0) {
    check.diagnostics[document.uri()].push_back(
        {{}, Severity::kInformation, {}, format("%zu more diagnostics not shown", collector.not_shown())});
  }
  check.sources = loader.sources();
  return check;
}

}  // namespace qbkit::lsp
