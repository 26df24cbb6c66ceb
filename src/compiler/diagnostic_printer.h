// A sink that prints diagnostics as they come, up to a limit: mode c shows at most 20
// warnings, --check at most 100 diagnostics for each file it is given.
#pragma once

#include <cstddef>
#include <iosfwd>

#include "compiler/diagnostic.h"

namespace qbkit {

class DiagnosticPrinter : public DiagnosticSink {
 public:
  // Counts warnings, and errors too when `count_errors`; those past `limit` are not printed.
  // Notes are always printed.
  DiagnosticPrinter(std::ostream& out, bool count_errors, size_t limit)
      : out_(out), count_errors_(count_errors), limit_(limit) {}
  void report(const Diagnostic& d) override;

  // Whether an error or a warning came, printed or not.
  bool reported() const { return reported_; }
  size_t not_printed() const { return not_printed_; }

 private:
  std::ostream& out_;
  bool count_errors_;
  size_t limit_;
  size_t counted_ = 0;
  size_t not_printed_ = 0;
  bool reported_ = false;
};

}  // namespace qbkit
