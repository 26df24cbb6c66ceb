#include "pre/member_list.h"

#include <gtest/gtest.h>

namespace qbkit::pre {
namespace {

TEST(MemberList, NamesAsListPrintsThemOrWrittenByHand) {
  EXPECT_EQ(parse_member_list("a.qb 0x3f142ab9\r\n\n  \r\nscripts\\b c.qb\nd.qb 0xABCDEF01\ne.qb 0x123\nlast"),
            (std::vector<std::string>{"a.qb", "scripts\\b c.qb", "d.qb", "e.qb 0x123", "last"}));
  // Only one final checksum goes; a name may itself end in blanks and hex.
  EXPECT_EQ(parse_member_list("x 0x00000000 0x11111111\n"), (std::vector<std::string>{"x 0x00000000"}));
  EXPECT_TRUE(parse_member_list("").empty());
}

TEST(MemberList, AsEditorsSaveIt) {
  // A byte-order mark, tabs and blanks around the checksum and at the ends of lines.
  EXPECT_EQ(parse_member_list("\xEF\xBB\xBF" "a.qb\t0x3f142ab9\r\nb.qb \t0x00000000 \t\nc.qb  \n\td.qb\n"),
            (std::vector<std::string>{"a.qb", "b.qb", "c.qb", "\td.qb"}));
  EXPECT_TRUE(parse_member_list("\xEF\xBB\xBF\r\n \t\n").empty());
  // The checksum must stand apart from the name.
  EXPECT_EQ(parse_member_list("a.qb0x3f142ab9\n"), (std::vector<std::string>{"a.qb0x3f142ab9"}));
}

}  // namespace
}  // namespace qbkit::pre
