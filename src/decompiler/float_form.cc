#include "decompiler/float_form.h"

#include "qb/float_text.h"

namespace qbkit::decompiler {

void append_float_text(std::string& out, float value) { out += qb::float_text(value); }

}  // namespace qbkit::decompiler
