// Float operands in decompiled text: "%f" when that reads back to the same 32 bits, else the
// fewest further decimals that do.
#pragma once

#include "decompiler/text_append.h"

namespace qbkit::decompiler {

void append_float_text(TextBuffer& out, float value);

}  // namespace qbkit::decompiler
