// Where names stand in script text and table files: each "#addx" line declares one, each
// "function $NAME$" defines one, and every other "$NAME$" uses one. Names are matched by the
// game's checksum of them, so case and '/' against '\' do not matter; a declaration with a
// checksum of its own ("#addx 0x1234abcd \"name\"") has that one, and a name that the
// decompiler could not name ("$[cdab3412]$", the checksum's bytes in file order) the checksum
// it shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace qbkit::scripts {

enum class NameRole { kDeclaration, kDefinition, kUse };

// The word --refs prints for a role: "declaration", "definition" or "use".
std::string_view role_word(NameRole role);

struct NameOccurrence {
  NameRole role;
  uint32_t checksum;
  std::string_view name;  // as written, a view into the text
  // Where it stands: the '#' of "#addx", the 'f' of "function", the '$' of a use. Lines and
  // columns count from 1; a column counts bytes (the text holds one byte per character).
  size_t offset;
  int line;
  int column;
};

// Every occurrence in `text`, in text order, or those of names with `checksum` only. Comments
// and strings hold none.
std::vector<NameOccurrence> find_names(std::string_view text, std::optional<uint32_t> checksum = std::nullopt);

// The checksum that a name on the command line stands for: "0x" and up to eight hexadecimal
// digits give it as written, anything else is a name and gives the game's checksum of it.
uint32_t wanted_checksum(std::string_view name);

}  // namespace qbkit::scripts
