// Whether a piece of script text was turned into UTF-8 by an editor.
//
// The game reads one byte per character: its own strings and names hold accented letters as
// single bytes above 0x7F, and none of them is valid UTF-8. An editor that opens such a text
// as UTF-8 and saves it either writes the replacement character U+FFFD (bytes EF BF BD) for
// each byte it could not read, losing the byte, or writes every accented letter as two bytes.
#pragma once

#include <string_view>

namespace qbkit {

enum class TextEncoding {
  kSingleByte,   // plain single-byte text (ASCII, or bytes above 0x7F that are not UTF-8)
  kUtf8,         // valid UTF-8 that holds at least one multi-byte sequence
  kReplacement,  // holds the bytes EF BF BD of U+FFFD
};

// Costs one pass over the bytes when none is above 0x7F, which is the usual case.
TextEncoding classify_text(std::string_view text);

}  // namespace qbkit
