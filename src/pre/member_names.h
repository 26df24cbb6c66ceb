// Member names: the path parts a name stands for, which names may be extracted and which may
// be stored in an archive, the path a member is extracted to, and the form under which two
// names are one member.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qbkit::pre {

// The parts of a member name split at every '\' and '/'; runs of separators count as one.
std::vector<std::string> name_parts(std::string_view name);

// A name that may be written below the current directory: not absolute (no leading
// separator), no part that starts with a drive letter and colon, no ".." part, no part
// longer than 255 bytes, and a file name at its end. On Windows also no part that Windows
// cannot hold as named (see is_storable_member_name).
bool is_safe_member_name(std::string_view name);

// A name that add, addx, pack and update may store: safe to extract, no control byte (below
// 0x20, or DEL: a zero byte would cut the name short of what its checksum covers), and, on every
// platform since the game runs on Windows, no part that Windows cannot hold: one that ends in
// a dot or a blank, holds one of <>:"|?*, or is a device name (CON, PRN, AUX, NUL, CONIN$,
// CONOUT$, CLOCK$, and COM or LPT followed by a digit or by a superscript 1, 2 or 3, in its
// single byte or in UTF-8) in any case, alone or with an extension. Extraction still takes such names from an
// archive made elsewhere where the system can write them.
bool is_storable_member_name(std::string_view name);

// The message of an unsafe member name, status 1, the name shown by show_control_bytes.
[[noreturn]] void throw_unsafe_name(std::string_view name);

// Refuses (throw_unsafe_name) the first of `names` that may not be stored: a command that
// stores names checks them all before it reads anything.
void check_storable(std::span<const std::string> names);

// Refuses (status 1) two of `files` that name one member (one member_key): update would keep
// only one of them.
void check_one_file_per_member(std::span<const std::string> files);

// The path a member is written to: its parts joined with '/', "." parts left out.
std::string member_output_path(std::string_view name);

// The name without its "." parts and with each run of separators cut to its first one: what
// a file typed as "./scripts//a.qb" is stored as ("scripts/a.qb"). Case and separator kinds
// are kept.
std::string tidy_member_name(std::string_view name);

// The form under which the game and extraction see one member: the tidy name with its bytes
// mapped as the name checksum maps them (A-Z lowered, '/' read as '\'). Two names with one
// key are one member.
std::string member_key(std::string_view name);

}  // namespace qbkit::pre
