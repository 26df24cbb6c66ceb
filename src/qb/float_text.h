// Floats in script text: how the compiler reads a float field's text back into a value, and
// the shortest fixed-notation text that the decompiler can print for a value so that it reads
// back to the same 32 bits.
#pragma once

#include <cstddef>
#include <string_view>

namespace qbkit::qb {

// The value of the decimal number at the start of `text`, read as the C library's atof reads
// it (longest valid prefix, exponent included), then rounded to single precision.
float read_float_text(const char* text);

// Capacity for the longest text format_float writes.
inline constexpr size_t kFloatTextCapacity = 160;

// "%f" of the value when that text reads back to the same bits; otherwise "%.7f", "%.8f", ...
// the first that does. Values that no fixed text can give back (NaN, infinities) are printed
// with "%f". The text is written into `buf` and returned.
std::string_view format_float(float value, char (&buf)[kFloatTextCapacity]);

// format_float by its definition: each text made by the library's exact conversion and read
// back, as many times as it takes. format_float gives the same bytes for every value.
std::string_view format_float_reference(float value, char (&buf)[kFloatTextCapacity]);

}  // namespace qbkit::qb
