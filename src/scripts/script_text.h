// The script text of a QB file as unpack writes it beside the file: decompiled in the layout
// that reads it, the THUG1 layout named on the first line when it is that one.
#pragma once

#include <string>
#include <string_view>

#include "common/bytes.h"

namespace qbkit::scripts {

// Whether `name` ends in `extension` (".qbs"), A-Z in any case.
bool has_extension(std::string_view name, std::string_view extension);

// A QB file or member: one whose name ends in ".qb", in any case.
bool is_qb_name(std::string_view name);

// The name of a QB file's script text: ".qbs" in place of its ".qb" ("menu.qbs" for
// "menu.qb", "MENU.qbs" for "MENU.QB").
std::string script_name(std::string_view qb_name);

struct ScriptText {
  bool thug1 = false;    // read in the THUG1 layout; `text` starts with qb::kThug1LayoutLine
  std::string text;      // what -d writes, its %include line naming the table file by its bare name
  std::string table;     // the table file's text
  std::string failure;   // why it does not decompile (text and table are then empty); empty if it does
};

// The text of `qb`, the bytes of the QB file `file_name` (a bare name, which the %include line
// gives its table file, "menu.qb_table.qbi"). The standard layout reads it, unless that one
// refuses it with the case check (a case or default without the endcase token after it) and
// the THUG1 layout reads it. A stream that the layout found cannot read to its end (a byte
// that is no token) does not decompile.
ScriptText decompile_script(ByteSpan qb, const std::string& file_name);

}  // namespace qbkit::scripts
