// Float operands in decompiled text: "%f" when that reads back to the same 32 bits, else the
// fewest further decimals that do.
#pragma once

#include <string>

namespace qbkit::decompiler {

void append_float_text(std::string& out, float value);

}  // namespace qbkit::decompiler
