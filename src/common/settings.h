// The two switches of the command line, handed by the driver to the QB tools.
#pragma once

namespace qbkit {

struct Settings {
  bool thug1 = false;  // THUG1 token layout: case/default carry no offsets, no endcase token
  bool debug = false;  // decompiler shows its if-nesting counter
};

}  // namespace qbkit
