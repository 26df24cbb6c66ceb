// Whether a piece of script text was turned into UTF-8 by an editor, and UTF-8 read where
// qbkit meets it: in its arguments, which it holds as UTF-8, and in names typed for the
// single-byte script text.
//
// The game reads one byte per character: its own strings and names hold accented letters as
// single bytes above 0x7F, and none of them is valid UTF-8. An editor that opens such a text
// as UTF-8 and saves it either writes the replacement character U+FFFD (bytes EF BF BD) for
// each byte it could not read, losing the byte, or writes every accented letter as two bytes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qbkit {

enum class TextEncoding {
  kSingleByte,   // plain single-byte text (ASCII, or bytes above 0x7F that are not UTF-8)
  kUtf8,         // valid UTF-8 that holds at least one multi-byte sequence
  kReplacement,  // holds the bytes EF BF BD of U+FFFD
};

// Costs one pass over the bytes when none is above 0x7F, which is the usual case.
TextEncoding classify_text(std::string_view text);

// The length of the valid UTF-8 sequence at text[i] (1 for an ASCII byte), or 0 when the
// bytes there are no valid sequence: a stray continuation byte, an overlong form, a
// surrogate, a value above U+10FFFF or a sequence cut short.
size_t utf8_sequence_length(std::string_view text, size_t i);

// The character of the valid sequence of `length` bytes (utf8_sequence_length) at text[i].
char32_t utf8_character(std::string_view text, size_t i, size_t length);

// Whether the whole text is valid UTF-8 (ASCII is).
bool is_utf8(std::string_view text);

// The text in one byte per character, as script text holds it: valid UTF-8 becomes
// ISO 8859-1 (each character up to U+00FF the byte of its number), and anything else is taken
// byte for byte. nullopt when the text is UTF-8 and holds a character above U+00FF.
std::optional<std::string> single_byte_text(std::string_view text);

}  // namespace qbkit
