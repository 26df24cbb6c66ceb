// Between the protocol's UTF-8 and the one byte per character of script text.
//
// The game reads one byte per character, and the editors open its scripts as ISO 8859-1, in
// which every byte is the character of the same number. So a character up to U+00FF is the
// byte of its number; a character above it has no byte: it stands as one substitute byte,
// and is recorded so that the engine can point at it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qbkit::lsp {

// What stands in the text for a character above U+00FF: the question mark, as Windows writes
// such a character when it saves a text as ANSI.
inline constexpr char kSubstituteByte = '?';

// A character of the editor's text that has no byte of its own.
struct Substitution {
  size_t offset = 0;        // of its substitute byte in the text
  char32_t code_point = 0;  // above U+00FF; above U+FFFF it takes two UTF-16 units
};

struct SingleByteText {
  std::string bytes;
  std::vector<Substitution> substitutions;  // by offset
};

// UTF-8 to one byte per character. A byte that starts no valid UTF-8 sequence (the protocol
// sends none) is taken as the character of its number.
SingleByteText utf8_to_single_byte(std::string_view utf8);

// Bytes read as ISO 8859-1, written as UTF-8: what the protocol sends of script text.
std::string latin1_to_utf8(std::string_view bytes);

}  // namespace qbkit::lsp
