// printf-style formatting into a std::string, for the messages and texts whose exact
// form is given as a printf format.
#pragma once

#include <string>

namespace qbkit {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string format(const char* fmt, ...);

// Appends the formatted text to `out`.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void append_format(std::string& out, const char* fmt, ...);

}  // namespace qbkit
