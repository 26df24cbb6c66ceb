#include "qb/name_table.h"

#include <gtest/gtest.h>

#include "qb/table_file.h"

namespace qbkit::qb {
namespace {

TEST(NameTable, EmptyTableFindsNothing) {
  NameTable t;
  EXPECT_EQ(t.find_name(0), nullptr);
  EXPECT_FALSE(t.find_checksum("").has_value());
  EXPECT_EQ(render_table_file(t), "");
}

TEST(NameTable, FirstEntryWinsBothLookupsAndDuplicatesAreKept) {
  NameTable t;
  t.add_name(0x11, "foo");
  t.add_name(0x22, "bar");
  t.add_name(0x11, "other");  // same checksum later
  t.add_name(0x33, "foo");    // same name later
  ASSERT_NE(t.find_name(0x11), nullptr);
  EXPECT_EQ(*t.find_name(0x11), "foo");
  EXPECT_EQ(*t.find_name(0x33), "foo");
  EXPECT_EQ(t.find_checksum("foo"), 0x11u);
  EXPECT_EQ(t.find_checksum("other"), 0x11u);
  EXPECT_FALSE(t.find_checksum("Foo").has_value());  // case matters
  EXPECT_FALSE(t.find_checksum("fo").has_value());   // whole text only
  EXPECT_EQ(t.size(), 4u);
  EXPECT_EQ(render_table_file(t),
            "#addx 0x00000011 \"foo\"\n#addx 0x00000022 \"bar\"\n"
            "#addx 0x00000011 \"other\"\n#addx 0x00000033 \"foo\"\n");
}

TEST(NameTable, NamesAreWrittenAsStored) {
  NameTable t;
  t.add_name(0xdeadbeef, "Birdhouse Team");
  t.add_name(0x00000001, "say \"hi\"");
  t.add_name(0xffffffff, "");
  EXPECT_EQ(render_table_file(t),
            "#addx 0xdeadbeef \"Birdhouse Team\"\n#addx 0x00000001 \"say \"hi\"\"\n"
            "#addx 0xffffffff \"\"\n");
}

}  // namespace
}  // namespace qbkit::qb
