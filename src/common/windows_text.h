// Text as Windows takes it, UTF-16, from text as qbkit holds it, UTF-8. A name that qbkit read
// from a file (a member name of an archive, a line of a member list, an %include line) and
// that is not valid UTF-8 is taken as Windows-1252, the code page of the game's own tools.
// Only the _win32.cc files include this header.
#pragma once

#include <string>
#include <string_view>

namespace qbkit {

// The whole text as UTF-8 when it is valid UTF-8, else byte by byte as Windows-1252: for a
// path, which names one file whichever way it is read.
std::wstring wide_path(std::string_view text);

// UTF-16 from the system (an argument, a path) as UTF-8.
std::string utf8_from_wide(std::wstring_view text);

// Text for the console: each valid UTF-8 sequence as its character, each other byte as its
// Windows-1252 character, so that paths (UTF-8) and the script text's single bytes both show
// as typed. Appends to `out` and returns the number of bytes taken: a sequence cut short at
// the end is left for the next piece, unless `last`.
size_t append_console_text(std::string_view bytes, bool last, std::wstring& out);

}  // namespace qbkit
