#include "pre/pre_commands.h"

#include <ostream>

namespace qbkit {

int pre_command(std::span<const std::string>, std::ostream& out) {
  out << "Mode -p is not available yet.\n";
  return 1;
}

}  // namespace qbkit
