#include "decompiler/float_form.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "common/bytes.h"
#include "qb/float_text.h"

namespace qbkit::decompiler {

// Same text as qb::float_text, built with to_chars/from_chars: both are exact (correctly
// rounded) like printf's "%f" and atof, and far cheaper per value, which matters for
// scripts full of vectors.
void append_float_text(TextBuffer& out, float value) {
  if (!std::isfinite(value)) {
    out.put(qb::float_text(value));
    return;
  }
  const double wide = value;
  const uint32_t bits = float_to_bits(value);
  char buf[160];
  for (int decimals = 6; decimals <= 112; ++decimals) {
    const auto written = std::to_chars(buf, buf + sizeof buf, wide, std::chars_format::fixed,
                                       decimals);
    if (written.ec != std::errc()) break;
    double back = 0;
    const auto read = std::from_chars(buf, written.ptr, back);
    // A text too small for a double reads as zero through atof too.
    if (read.ec == std::errc::result_out_of_range) back = 0;
    if (float_to_bits(static_cast<float>(back)) == bits) {
      out.put(std::string_view(buf, static_cast<size_t>(written.ptr - buf)));
      return;
    }
  }
  out.put(qb::float_text(value));
}

}  // namespace qbkit::decompiler
