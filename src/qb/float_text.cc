#include "qb/float_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "common/bytes.h"

namespace qbkit::qb {

float read_float_text(const char* text) { return static_cast<float>(std::atof(text)); }

// to_chars and from_chars are exact (correctly rounded) like printf's "%f" and atof, and far
// cheaper per value, which matters for scripts full of vectors.
std::string_view format_float(float value, char (&buf)[kFloatTextCapacity]) {
  if (std::isfinite(value)) {
    const double wide = value;
    const uint32_t bits = float_to_bits(value);
    // The smallest subnormal float needs about 45 decimals before its digits start; 112
    // covers every finite value with digits to spare.
    for (int decimals = 6; decimals <= 112; ++decimals) {
      const auto written = std::to_chars(buf, buf + kFloatTextCapacity, wide, std::chars_format::fixed, decimals);
      if (written.ec != std::errc()) break;
      double back = 0;
      const auto read = std::from_chars(buf, written.ptr, back);
      // A text too small for a double reads as zero through atof too.
      if (read.ec == std::errc::result_out_of_range) back = 0;
      if (float_to_bits(static_cast<float>(back)) == bits) return {buf, static_cast<size_t>(written.ptr - buf)};
    }
  }
  int n = std::snprintf(buf, kFloatTextCapacity, "%f", static_cast<double>(value));
  return {buf, n < 0 ? 0 : static_cast<size_t>(n)};
}

}  // namespace qbkit::qb
