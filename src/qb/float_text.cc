#include "qb/float_text.h"

#include <cmath>
#include <cstdlib>

#include "common/bytes.h"
#include "common/format.h"

namespace qbkit::qb {

float read_float_text(const char* text) { return static_cast<float>(std::atof(text)); }

std::string float_text(float value) {
  std::string text = format("%f", static_cast<double>(value));
  if (!std::isfinite(value)) return text;
  const uint32_t bits = float_to_bits(value);
  // The smallest subnormal float needs about 45 decimals before its digits start; 112 covers
  // every finite value with digits to spare.
  for (int decimals = 7; decimals <= 112 && float_to_bits(read_float_text(text.c_str())) != bits;
       ++decimals) {
    text = format("%.*f", decimals, static_cast<double>(value));
  }
  return text;
}

}  // namespace qbkit::qb
