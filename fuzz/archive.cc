// Arbitrary bytes as a PRE archive, through listing and extraction into memory.
// Property: it ends; every member lies inside the input; every decoded member has exactly
// its uncompressed size; failures are the error type.
#include <cstdint>
#include <cstdlib>
#include <sstream>

#include "common/error.h"
#include "pre/archive.h"
#include "pre/extract.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qbkit;
  const ByteSpan file(data, size);
  try {
    pre::Archive archive = pre::parse_archive(file, "f.prd");
    for (const pre::Member& m : archive.members) {
      if (m.offset > size || m.data.data() < data || m.data.data() + m.data.size() > data + size) std::abort();
    }
    pre::check_member_names(archive);
    std::ostringstream out;
    std::vector<pre::ExtractedMember> members = pre::decode_members(archive, "f.prd", out);
    if (members.size() != archive.members.size()) std::abort();
    for (size_t i = 0; i < members.size(); ++i) {
      if (members[i].data.size() != archive.members[i].uncompressed_size) std::abort();
      if (!pre::is_safe_member_name(members[i].name)) std::abort();
    }
  } catch (const Error& e) {
    if (e.status() != 1 || e.message().empty()) std::abort();
  }
  return 0;
}
