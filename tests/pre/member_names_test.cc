#include "pre/member_names.h"

#include <gtest/gtest.h>

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

// What may be stored is narrower than what may be extracted, the same on every platform.
TEST(MemberNames, StorableNamesAreSafeTextThatWindowsCanHold) {
  for (const char* name : {"scripts\\game\\a.qb", "./a.qb", "console.qb", "com10.qb", "lpt.qb", "a b.qb",
                           "nul_menu.qb", ".hidden", "clock.qb", "com\xC2\xB4.qb", "com\xB4"})
    EXPECT_TRUE(is_storable_member_name(name)) << name;
  for (const char* name : {"../a.qb", "CON", "con.qb", "s/Nul.qb", "AUX.tar.gz", "com1", "LPT9.x", "a.", "dir./x.qb",
                           "x.qb ", "con .qb", "a:b", "a<b", "a>b", "a\"b", "a|b", "a?b", "a*b", "a\tb.qb",
                           "a\x1f.qb", "a\x7f.qb", "lpt0.qb", "COM0", "conin$", "CONOUT$.qb", "s/Clock$", "com\xB9",
                           "LPT\xB2.qb", "lpt\xC2\xB3", "COM\xC2\xB2.x"})
    EXPECT_FALSE(is_storable_member_name(name)) << name;
  EXPECT_FALSE(is_storable_member_name(std::string("a\0b.qb", 6)));
}

TEST(MemberNames, OneMemberUnderEverySpellingOfItsPath) {
  EXPECT_EQ(tidy_member_name(".\\scripts\\\\game/./a.qb"), "scripts\\game/a.qb");
  EXPECT_EQ(tidy_member_name("./a.qb"), "a.qb");
  EXPECT_EQ(tidy_member_name("Scripts\\A.qb"), "Scripts\\A.qb");
  const std::string key = member_key("scripts\\game\\a.qb");
  for (const char* same : {"Scripts/Game/A.QB", "./scripts//game/./a.qb", ".\\SCRIPTS\\game\\\\a.qb"})
    EXPECT_EQ(member_key(same), key) << same;
  for (const char* other : {"scripts\\game\\a.qb.", "scripts\\a.qb", "scripts\\game\\..\\a.qb", "scripts\\game\\a .qb"})
    EXPECT_NE(member_key(other), key) << other;
}

}  // namespace
}  // namespace qbkit::pre
