#include "pre/extract.h"

#include <gtest/gtest.h>


#include "common/error.h"
#include "pre/lzss.h"

namespace qbkit::pre {
namespace {

TEST(MemberNames, UnsafeNamesAreRefused) {
  for (const char* name : {"a.qb", "scripts\\game\\a.qb", "x/y\\z.qb", "a..b.qb", "..a/b", "./a.qb",
                           "a//b.qb"})
    EXPECT_TRUE(is_safe_member_name(name)) << name;
  for (const char* name : {"", "/etc/x", "\\x.qb", "C:x.qb", "c:\\x.qb", "..", "../a.qb",
                           "a\\..\\..\\b.qb", "a/..", "dir/", "dir\\", "a/."})
    EXPECT_FALSE(is_safe_member_name(name)) << name;
  EXPECT_TRUE(is_safe_member_name("d/" + std::string(255, 'n')));
  EXPECT_FALSE(is_safe_member_name("d/" + std::string(256, 'n') + "/x.qb"));
}

TEST(MemberNames, OutputPathSplitsAtBothSeparators) {
  EXPECT_EQ(member_output_path("scripts\\game\\a.qb"), "scripts/game/a.qb");
  EXPECT_EQ(member_output_path("a\\\\b//c.qb"), "a/b/c.qb");
  EXPECT_EQ(member_output_path(".\\a/./b.qb"), "a/b.qb");
  EXPECT_EQ(name_parts("x\\y/z"), (std::vector<std::string>{"x", "y", "z"}));
}

Member member(const std::string& name, uint32_t size, uint32_t compressed, const Bytes& data) {
  Member m;
  m.name = name;
  m.uncompressed_size = size;
  m.compressed_size = compressed;
  m.name_length = static_cast<uint32_t>(name.size() + 1);
  m.data = data;
  return m;
}

TEST(DecodeMember, StoredCopiedCompressedDecodedDamagedRefused) {
  Bytes stored = {0xFE, 0xED, 0xF0, 1};  // would decode to spaces, but is copied
  Bytes text(300, 'q');
  Bytes stream = compress_fast(text);
  EXPECT_EQ(decode_member(member("s.qb", 4, 0, stored), 1, "t.prd"), stored);
  EXPECT_EQ(decode_member(member("c.qb", 300, static_cast<uint32_t>(stream.size()), stream), 2, "t.prd"), text);
  try {
    decode_member(member("short.qb", 301, static_cast<uint32_t>(stream.size()), stream), 3, "t.prd");
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(e.status(), 1);
    EXPECT_EQ(e.message(), "Archive 't.prd' is damaged: member 3 does not decode to its size\n");
  }
}

}  // namespace
}  // namespace qbkit::pre
