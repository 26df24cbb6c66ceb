#include "compiler/compiler.h"

#include <ostream>

namespace qbkit {

int compile_file(const std::string&, const Settings&, std::ostream& out) {
  out << "Mode -c is not available yet.\n";
  return 1;
}

}  // namespace qbkit
