#include "scripts/archive_scripts.h"

#include "common/parallel.h"
#include "pre/extract_plan.h"
#include "pre/member_names.h"

namespace qbkit::scripts {

std::string member_file_name(std::string_view member_name) {
  const std::vector<std::string> parts = pre::name_parts(member_name);
  return parts.empty() ? std::string() : parts.back();
}

std::vector<MemberContent> read_members(std::span<const pre::Member> members, const std::string& archive_path,
                                        const std::function<bool(size_t, ByteSpan)>& wants_text) {
  std::vector<MemberContent> content(members.size());
  run_in_parallel(members.size(), [&](size_t k) {
    MemberContent& c = content[k];
    c.bytes = pre::decode_member(members[k], k + 1, archive_path, c.decoded);
    if (is_qb_name(members[k].name) && wants_text(k, c.bytes))
      c.script = decompile_script(c.bytes, member_file_name(members[k].name));
  });
  return content;
}

}  // namespace qbkit::scripts
