// Where a command's output goes.
#pragma once

#include <iosfwd>

namespace qbkit {

struct Console {
  // What the commands print: script text, progress lines and error messages.
  std::ostream& out;
  // Warnings and hints: they must reach the user also when standard output goes to a file.
  std::ostream& err;
  // False when standard output is redirected (to a file or a pipe); messages that the user
  // must see are then repeated on `err`.
  bool out_is_terminal = true;
};

}  // namespace qbkit
