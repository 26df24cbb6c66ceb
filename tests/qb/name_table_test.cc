#include "qb/name_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/name_table_text.h"

namespace qbkit::qb {
namespace {

using test::find_name;
using test::render_table_file;

TEST(NameTable, EmptyTableFindsNothing) {
  NameTable t;
  EXPECT_FALSE(find_name(t, 0).has_value());
  EXPECT_FALSE(t.find_checksum("").has_value());
  EXPECT_EQ(render_table_file(t), "");
}

TEST(NameTable, AnEmptyNameFirstIsFound) {
  NameTable t;
  t.add_name(7, "");
  EXPECT_EQ(t.find_checksum(""), 7u);
  EXPECT_EQ(find_name(t, 7), "");
}

TEST(NameTable, FirstEntryWinsBothLookupsAndDuplicatesAreKept) {
  NameTable t;
  t.add_name(0x11, "foo");
  t.add_name(0x22, "bar");
  t.add_name(0x11, "other");  // same checksum later
  t.add_name(0x33, "foo");    // same name later
  ASSERT_TRUE(find_name(t, 0x11).has_value());
  EXPECT_EQ(*find_name(t, 0x11), "foo");
  EXPECT_EQ(*find_name(t, 0x33), "foo");
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

// Past the first index size the indexes are rebuilt: every name must still be found, the
// first entry must still win, and names given earlier keep their text.
TEST(NameTable, LargeTablesKeepFirstEntriesThroughGrowth) {
  NameTable t;
  std::vector<std::string> names;
  for (uint32_t i = 0; i < 5000; ++i) names.push_back("name_" + std::to_string(i) + std::string(i % 70, 'x'));
  const std::string_view first_view = [&] {
    t.add_name(0, names[0]);
    return *find_name(t, 0);
  }();
  for (uint32_t i = 1; i < 5000; ++i) t.add_name(i * 2654435761u, names[i]);
  for (uint32_t i = 0; i < 5000; ++i) t.add_name(i * 2654435761u, "later");  // never the answer
  EXPECT_EQ(first_view.data(), find_name(t, 0)->data());  // the arena never moves a name
  for (uint32_t i = 0; i < 5000; ++i) {
    ASSERT_EQ(find_name(t, i * 2654435761u), names[i]) << i;
    ASSERT_EQ(t.find_checksum(names[i]), i * 2654435761u) << i;
  }
  EXPECT_EQ(t.find_checksum("later"), 0u);
  EXPECT_FALSE(find_name(t, 1).has_value());
  EXPECT_EQ(t.size(), 10000u);
  EXPECT_EQ(t[9999].name, "later");
}

// Case and separators do not count in the second lookup: the first such entry answers, also
// for entries added after the lookup built its index; an exact lookup is not changed by it.
TEST(NameTable, FoldedLookupTakesTheFirstSameGameName) {
  NameTable t;
  t.add_name(1, "GotParam");
  t.add_name(2, "gotparam");
  t.add_name(3, "a\\b");
  EXPECT_EQ(t.find_checksum_folded("GOTPARAM"), 1u);
  EXPECT_EQ(t.find_checksum_folded("A/B"), 3u);
  EXPECT_FALSE(t.find_checksum_folded("GotParam2"));
  for (uint32_t i = 0; i < 200; ++i) t.add_name(100 + i, "Name" + std::to_string(i));
  t.add_name(9, "GOTPARAM2");
  EXPECT_EQ(t.find_checksum_folded("gotparam2"), 9u);
  EXPECT_EQ(t.find_checksum_folded("name199"), 299u);
  EXPECT_EQ(t.find_checksum("gotparam"), 2u);
  EXPECT_FALSE(t.find_checksum("GOTPARAM"));
}

// A slot holds a name's first 24 bytes: names of every length about that, alike in their
// first 16 or 24 bytes or their last 8, are told apart, and a key made from a name inside a
// longer text (what follows it is not part of the key) finds what a scan from the first entry
// finds.
TEST(NameTable, KeysOfEveryLengthFindWhatAScanFinds) {
  NameTable t;
  std::vector<std::string> names;
  for (size_t n = 0; n <= 40; ++n) {
    const std::string a(n, 'a');
    for (const std::string& name : {a, a + "b", "b" + a, n > 20 ? a.substr(0, 20) + "b" + a.substr(21) : a + "c"})
      names.push_back(name);
  }
  for (size_t i = 0; i < names.size(); ++i) t.add_name(static_cast<uint32_t>(i), names[i]);
  for (size_t i = 0; i < names.size(); i += 3) t.add_name(static_cast<uint32_t>(1000 + i), names[i]);
  for (size_t n = 0; n <= 41; ++n) {
    for (const char* after : {"", "a", "$ = $aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa$"}) {
      const std::string text = std::string(n, 'a') + after + std::string(24, 'a');
      const std::string_view name(text.data(), n);
      ASSERT_EQ(t.find_checksum(NameKey::of_padded(text.data(), n)), t.find_checksum_reference(name)) << n;
      ASSERT_EQ(t.find_checksum(name), t.find_checksum_reference(name)) << n;
    }
  }
  for (const std::string& name : names) ASSERT_EQ(t.find_checksum(name), t.find_checksum_reference(name)) << name;
}

}  // namespace
}  // namespace qbkit::qb
