#include "compiler/diagnostic_printer.h"

#include <ostream>

namespace qbkit {

bool DiagnosticLimit::admit(const Diagnostic& d) {
  if (d.severity == Severity::kNote) return true;
  reported_ = true;
  if ((d.severity == Severity::kWarning || count_errors_) && ++counted_ > limit_) {
    ++not_shown_;
    return false;
  }
  return true;
}

void DiagnosticPrinter::report(const Diagnostic& d) {
  if (limit_.admit(d)) out_ << render(d);
}

}  // namespace qbkit
