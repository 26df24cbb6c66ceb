#include "pre/archive.h"

#include <gtest/gtest.h>

#include "common/error.h"
#include "common/name_checksum.h"
#include "support/archive_files.h"

namespace qbkit::pre {
namespace {

TEST(NameChecksum, CaseAndSeparatorsDoNotCount) {
  EXPECT_EQ(name_checksum("abc"), 0xCADBBE3Du);
  EXPECT_EQ(name_checksum("ABC"), 0xCADBBE3Du);
  const char* name = "scripts\\game\\menu\\gamemenu_pause.qb";
  EXPECT_EQ(name_checksum(name), 0xB92A143Fu);
  EXPECT_EQ(name_checksum("scripts/game/menu/gamemenu_pause.qb"), 0xB92A143Fu);
  EXPECT_EQ(name_checksum("Scripts/Game\\MENU/gamemenu_pause.QB"), 0xB92A143Fu);
  EXPECT_EQ(shown_checksum(name_checksum(name)), 0x3f142ab9u);
  EXPECT_EQ(name_checksum(""), 0xFFFFFFFFu);
  // Bytes above 0x7F are not mapped.
  EXPECT_NE(name_checksum("\xC4"), name_checksum("\xE4"));
}

using test::archive_file;
using test::archive_members;

TEST(ArchiveFormat, EmptyArchive) {
  EXPECT_EQ(empty_archive(), (Bytes{0x0C, 0, 0, 0, 0x03, 0x00, 0xCD, 0xAB, 0, 0, 0, 0}));
  EXPECT_TRUE(archive_members(empty_archive()).empty());
}

TEST(ArchiveFormat, EntriesArePaddedFromTheStartOfTheirData) {
  const Bytes one = archive_file({{"a.qb", Bytes(10, 0x55)}});
  ASSERT_EQ(one.size(), 45u);  // 12 + 16 + 5 + 12
  EXPECT_EQ(read_archive_header(one).total_size, 45u);
  EXPECT_EQ(read_archive_header(one).member_count, 1u);
  Bytes expected = {10, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0};
  uint32_t sum = name_checksum("a.qb");
  for (int i = 0; i < 4; ++i) expected.push_back(static_cast<uint8_t>(sum >> (8 * i)));
  for (char c : std::string("a.qb")) expected.push_back(static_cast<uint8_t>(c));
  expected.push_back(0);
  expected.insert(expected.end(), 10, 0x55);
  expected.insert(expected.end(), 2, 0);
  EXPECT_EQ(Bytes(one.begin() + 12, one.end()), expected);

  // The next entry starts at the odd offset 45; 8 bytes of data need no padding.
  const Bytes file = archive_file({{"a.qb", Bytes(10, 0x55)}, {"b.qb", Bytes(8, 0x66), 30}});
  EXPECT_EQ(file.size(), 45u + 16 + 5 + 8);
  const std::vector<Member> members = archive_members(file);
  ASSERT_EQ(members.size(), 2u);
  EXPECT_EQ(members[1].offset, 45u);
  EXPECT_EQ(members[1].name, "b.qb");
  EXPECT_EQ(members[1].uncompressed_size, 30u);
  EXPECT_EQ(members[1].compressed_size, 8u);
  EXPECT_EQ(Bytes(members[1].data.begin(), members[1].data.end()), Bytes(8, 0x66));
  EXPECT_TRUE(members[0].stored());
}

TEST(ArchiveFormat, GamePaddedNameFields) {
  // The game pads name fields to four bytes, with stray bytes after the zero byte.
  Bytes file = {0, 0, 0, 0, 0x03, 0x00, 0xCD, 0xAB, 1, 0, 0, 0};
  Bytes entry = {4, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 'a', '.', 'q', 'b', 0, 'x', 'y', 'z',
                 1, 2, 3, 4};
  file.insert(file.end(), entry.begin(), entry.end());
  const std::vector<Member> members = archive_members(file);
  ASSERT_EQ(members.size(), 1u);
  EXPECT_EQ(members[0].name, "a.qb");
  EXPECT_EQ(Bytes(members[0].data.begin(), members[0].data.end()), (Bytes{1, 2, 3, 4}));
}

TEST(ArchiveFormat, EntriesRunningPastTheEndAreDamaged) {
  const Bytes good = archive_file({{"a.qb", Bytes(10, 1)}, {"b.qb", Bytes(12, 2)}});
  auto expect_damaged = [](const Bytes& file, size_t member) {
    MemberWalk walk = walk_members(file, kHeaderSize, read_archive_header(file).member_count);
    EXPECT_TRUE(walk.damaged);
    EXPECT_EQ(walk.members.size(), member - 1);
  };
  Bytes more_members = good;
  more_members[8] = 3;
  expect_damaged(more_members, 3);
  Bytes huge_count = good;
  store_u32le(huge_count.data() + 8, 0xFFFFFFFF);
  expect_damaged(huge_count, 3);
  Bytes long_name = good;
  store_u32le(long_name.data() + 12 + 8, 0xFFFFFFF0);
  expect_damaged(long_name, 1);
  Bytes long_data = good;
  store_u32le(long_data.data() + 45, 13);  // second member: 13 stored bytes, 12 present
  expect_damaged(long_data, 2);
  Bytes cut(good.begin(), good.begin() + 50);
  expect_damaged(cut, 2);
  expect_damaged(Bytes{0, 0, 0, 0, 0, 0, 0, 0, 1}, 1);  // short header, one member
}

TEST(ArchiveFormat, SizesFitTheir32BitFields) {
  EXPECT_TRUE(sizes_fit(0xFFFFFFFFu, 0xFFFFFFFFu));
  EXPECT_FALSE(sizes_fit(0x100000000u, 1));
  EXPECT_FALSE(sizes_fit(12, 0x100000000u));
}

// The game's layout pads a name field to a multiple of four with zero bytes.
TEST(ArchiveWriter, GameLayoutPadsNameFields) {
  ArchiveWriter w(kFormatTag);
  w.named_entry("abc", true, 0, 0, {});
  w.named_entry("a.qb", true, 0, 0, {});
  Bytes file;
  for (ByteSpan piece : w.pieces()) file.insert(file.end(), piece.begin(), piece.end());
  const std::vector<Member> members = archive_members(file);
  ASSERT_EQ(members.size(), 2u);
  EXPECT_EQ(members[0].name_length, 4u);
  EXPECT_EQ(members[1].name_length, 8u);
  EXPECT_EQ(Bytes(file.end() - 8, file.end()), (Bytes{'a', '.', 'q', 'b', 0, 0, 0, 0}));
}

TEST(ArchiveFormat, OnlyArchivesWithNothingAfterTheirEntriesTakeAppends) {
  const Bytes file = archive_file({{"a.qb", Bytes(10, 1)}});
  EXPECT_EQ(appendable_entries(file, "t.prd").end, file.size());
  Bytes padded = file;
  padded.resize(2048, 0);  // padded to a sector: the zero bytes go
  EXPECT_EQ(appendable_entries(padded, "t.prd").end, file.size());
  const std::string refusal = "'t.prd' is not an archive, or holds data after its last member; nothing was changed\n";
  Bytes junk = padded;
  junk[2047] = 1;
  for (const Bytes& bad : {junk, Bytes(11, 0)}) {
    try {
      appendable_entries(bad, "t.prd");
      ADD_FAILURE();
    } catch (const Error& e) {
      EXPECT_EQ(e.status(), 1);
      EXPECT_EQ(e.message(), refusal);
    }
  }
}

}  // namespace
}  // namespace qbkit::pre
