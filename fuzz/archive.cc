// Arbitrary bytes as a PRE archive, through the extraction plan and decoding in memory.
// Property: it ends; every planned member lies inside the input and has a safe name and an
// output path that no other member's path runs through; every decoded member has exactly
// its uncompressed size; failures are the error type with status 1.
#include <cstdint>

#include "common/error.h"
#include "pre/archive.h"
#include "pre/extract_plan.h"
#include "pre/member_names.h"
#include "fuzz_assert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qbkit;
  const ByteSpan file(data, size);
  try {
    const pre::ArchiveHeader header = pre::read_archive_header(file);
    const pre::ExtractionPlan plan = pre::plan_extraction(file, header, "f.prd");
    FUZZ_ASSERT(plan.targets.size() == plan.members.size(), "every planned member has a target");
    Bytes buffer;
    for (size_t k = 0; k < plan.members.size(); ++k) {
      const pre::Member& m = plan.members[k];
      FUZZ_ASSERT(m.offset <= size && m.data.data() >= data && m.data.data() + m.data.size() <= data + size, "a member's data lies inside the file");
      FUZZ_ASSERT(pre::is_safe_member_name(m.name) && plan.targets[k] == pre::member_output_path(m.name), "a planned member has a safe name and its own output path");
      for (const std::string& other : plan.targets)
        FUZZ_ASSERT(!(other.size() > plan.targets[k].size() && other.starts_with(plan.targets[k] + "/")), "no member's path runs through another member");
      FUZZ_ASSERT(pre::decode_member(m, k + 1, "f.prd", buffer).size() == m.uncompressed_size, "a planned member decodes to its size");
    }
  } catch (const Error& e) {
    FUZZ_ASSERT(e.status() == 1 && !e.message().empty(), "a refusal is status 1 with a message");
  }
  return 0;
}
