#include "decompiler/decompiler.h"

#include <ostream>

namespace qbkit {

int decompile_file(const std::string&, const Settings&, std::ostream& out) {
  out << "Mode -d is not available yet.\n";
  return 1;
}

}  // namespace qbkit
