// A sink that prints diagnostics as they come, up to a limit: mode c shows at most 20
// warnings, --check (and the language server) at most 100 diagnostics for each file it is
// given.
#pragma once

#include <cstddef>
#include <iosfwd>

#include "compiler/diagnostic.h"

namespace qbkit {

// Diagnostics that --check shows for one file given, its includes counted.
inline constexpr size_t kCheckDiagnosticLimit = 100;

// Counts warnings, and errors too when `count_errors`, against `limit`. Notes always pass.
class DiagnosticLimit {
 public:
  DiagnosticLimit(bool count_errors, size_t limit) : count_errors_(count_errors), limit_(limit) {}
  // Whether `d` is shown: false once the count passed the limit.
  bool admit(const Diagnostic& d);

  // Whether an error or a warning came, shown or not.
  bool reported() const { return reported_; }
  size_t not_shown() const { return not_shown_; }

 private:
  bool count_errors_;
  size_t limit_;
  size_t counted_ = 0;
  size_t not_shown_ = 0;
  bool reported_ = false;
};

class DiagnosticPrinter : public DiagnosticSink {
 public:
  DiagnosticPrinter(std::ostream& out, bool count_errors, size_t limit) : out_(out), limit_(count_errors, limit) {}
  void report(const Diagnostic& d) override;

  bool reported() const { return limit_.reported(); }
  size_t not_printed() const { return limit_.not_shown(); }

 private:
  std::ostream& out_;
  DiagnosticLimit limit_;
};

}  // namespace qbkit
