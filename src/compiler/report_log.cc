#include "compiler/report_log.h"

#include <algorithm>

namespace qbkit::compiler {

bool ReportLog::add(const SourceSet& sources, Report r) {
  std::string key = sources.name(r.place.source);
  key.append(1, '\0').append(r.placed ? std::to_string(r.place.offset) : "-").append(1, '\0').append(r.code);
  if (!seen_.insert(std::move(key)).second) return false;
  reports_.push_back(std::move(r));
  return true;
}

void ReportLog::flush(const SourceSet& sources, DiagnosticSink& sink) {
  std::stable_sort(reports_.begin(), reports_.end(), [&sources](const Report& a, const Report& b) {
    if (a.placed != b.placed) return a.placed;
    return a.placed && sources.before(a.place, b.place);
  });
  for (Report& r : reports_) {
    Diagnostic d{sources.name(r.place.source), 0, 0, r.severity, r.code, std::move(r.message), std::move(r.note)};
    if (r.placed) {
      const Location at = sources.locate(r.place.source, r.place.offset);
      d.line = at.line;
      d.column = at.column;
    }
    sink.report(d);
  }
  reports_.clear();
}

}  // namespace qbkit::compiler
