// The diagnostics of one compile as it makes them: each with its place in the texts, none
// twice for one file, place and code, handed to the sink in the order of the text once the
// compile ends.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "compiler/diagnostic.h"
#include "compiler/sources.h"

namespace qbkit::compiler {

struct Report {
  Place place;
  bool placed = true;  // false: about a whole text, rendered without a line and column
  Severity severity = Severity::kError;
  std::string_view code;
  std::string message;
  std::string note;
};

class ReportLog {
 public:
  // Keeps the report unless one of its file, place and code is kept already; true if kept.
  bool add(const SourceSet& sources, Report r);
  // Every report kept, as diagnostics, to `sink`: the placed ones in the order of the text
  // (those of one place in the order they were made), then the others.
  void flush(const SourceSet& sources, DiagnosticSink& sink);

 private:
  std::vector<Report> reports_;
  std::unordered_set<std::string> seen_;
};

}  // namespace qbkit::compiler
