#include "compiler/diagnostic_printer.h"

#include <ostream>

namespace qbkit {

void DiagnosticPrinter::report(const Diagnostic& d) {
  if (d.severity != Severity::kNote) {
    reported_ = true;
    if ((d.severity == Severity::kWarning || count_errors_) && ++counted_ > limit_) {
      ++not_printed_;
      return;
    }
  }
  out_ << render(d);
}

}  // namespace qbkit
