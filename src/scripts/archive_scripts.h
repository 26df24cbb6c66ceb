// The members of an archive read for their content: each decoded, and each QB member that is
// asked for decompiled as unpack decompiles it, side by side on the machine's processors.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "pre/archive.h"
#include "scripts/script_text.h"

namespace qbkit::scripts {

struct MemberContent {
  ByteSpan bytes;  // the member's bytes: in the archive for a stored member, else in `decoded`
  Bytes decoded;
  std::optional<ScriptText> script;  // the text of a QB member, when it was asked for
};

// The content of `members` (the entries of the archive `archive_path`, in order): each decoded,
// and decompiled when it is a QB member and `wants_text(k, bytes)` says so for member k. A member
// that does not decode to its size refuses the archive as damaged (status 1), the first such
// member in order. Each text names its table file by the bare name of the member's file.
std::vector<MemberContent> read_members(std::span<const pre::Member> members, const std::string& archive_path,
                                        const std::function<bool(size_t, ByteSpan)>& wants_text);

// The last part of a member's name: the name of its file, which unpack and -d give the
// %include line.
std::string member_file_name(std::string_view member_name);

}  // namespace qbkit::scripts
