#include "pre/archive.h"

#include <gtest/gtest.h>

#include <sstream>

#include "common/error.h"
#include "common/name_checksum.h"

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

// An archive body with one appended member.
struct Appended {
  ArchiveHeader header{12, kFormatTag, 0};
  Bytes body;
  void add(const std::string& name, const Bytes& data, uint32_t uncompressed = 0) {
    uint32_t compressed = uncompressed ? static_cast<uint32_t>(data.size()) : 0;
    uint32_t size = uncompressed ? uncompressed : static_cast<uint32_t>(data.size());
    append_entry(body, header, size, compressed, name, data, "t.prd");
  }
  Bytes file() const {
    Bytes f = header_bytes(header);
    f.insert(f.end(), body.begin(), body.end());
    return f;
  }
};

TEST(ArchiveFormat, EmptyArchive) {
  EXPECT_EQ(empty_archive(), (Bytes{0x0C, 0, 0, 0, 0x03, 0x00, 0xCD, 0xAB, 0, 0, 0, 0}));
  Archive a = parse_archive(empty_archive(), "e.prd");
  EXPECT_EQ(a.header.total_size, 12u);
  EXPECT_TRUE(a.members.empty());
}

TEST(ArchiveFormat, EntriesArePaddedFromTheStartOfTheirData) {
  Appended a;
  a.add("a.qb", Bytes(10, 0x55));
  ASSERT_EQ(a.body.size(), 33u);  // 16 + 5 + 12
  EXPECT_EQ(a.header.total_size, 45u);
  EXPECT_EQ(a.header.member_count, 1u);
  Bytes expected = {10, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0};
  uint32_t sum = name_checksum("a.qb");
  for (int i = 0; i < 4; ++i) expected.push_back(static_cast<uint8_t>(sum >> (8 * i)));
  for (char c : std::string("a.qb")) expected.push_back(static_cast<uint8_t>(c));
  expected.push_back(0);
  expected.insert(expected.end(), 10, 0x55);
  expected.insert(expected.end(), 2, 0);
  EXPECT_EQ(a.body, expected);

  // The next entry starts at the odd offset 45; 8 bytes of data need no padding.
  a.add("b.qb", Bytes(8, 0x66), 30);
  EXPECT_EQ(a.body.size(), 33u + 16 + 5 + 8);
  const Bytes file = a.file();  // members view into it
  Archive parsed = parse_archive(file, "t.prd");
  ASSERT_EQ(parsed.members.size(), 2u);
  EXPECT_EQ(parsed.members[1].offset, 45u);
  EXPECT_EQ(parsed.members[1].name, "b.qb");
  EXPECT_EQ(parsed.members[1].uncompressed_size, 30u);
  EXPECT_EQ(parsed.members[1].compressed_size, 8u);
  EXPECT_EQ(Bytes(parsed.members[1].data.begin(), parsed.members[1].data.end()), Bytes(8, 0x66));
  EXPECT_TRUE(parsed.members[0].stored());
}

TEST(ArchiveFormat, AppendDropsBytesAfterTheLastEntryAndPadsAMissingTail) {
  Appended a;
  a.add("a.qb", Bytes(10, 1));
  Bytes with_junk = a.body;
  with_junk.insert(with_junk.end(), {9, 9, 9, 9, 9});
  Bytes without_padding(a.body.begin(), a.body.end() - 2);
  for (Bytes body : {with_junk, without_padding}) {
    ArchiveHeader h = a.header;
    append_entry(body, h, 4, 0, "c.qb", Bytes(4, 2), "t.prd");
    Appended b = a;
    b.add("c.qb", Bytes(4, 2));
    EXPECT_EQ(body, b.body);
    EXPECT_EQ(h.total_size, b.header.total_size);
  }
}

TEST(ArchiveFormat, GamePaddedNameFields) {
  // The game pads name fields to four bytes, with stray bytes after the zero byte.
  Bytes file = {0, 0, 0, 0, 0x03, 0x00, 0xCD, 0xAB, 1, 0, 0, 0};
  Bytes entry = {4, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 'a', '.', 'q', 'b', 0, 'x', 'y', 'z',
                 1, 2, 3, 4};
  file.insert(file.end(), entry.begin(), entry.end());
  Archive a = parse_archive(file, "g.prd");
  ASSERT_EQ(a.members.size(), 1u);
  EXPECT_EQ(a.members[0].name, "a.qb");
  EXPECT_EQ(Bytes(a.members[0].data.begin(), a.members[0].data.end()), (Bytes{1, 2, 3, 4}));
}

TEST(ArchiveFormat, EntriesRunningPastTheEndAreDamaged) {
  Appended a;
  a.add("a.qb", Bytes(10, 1));
  a.add("b.qb", Bytes(12, 2));
  const Bytes good = a.file();
  auto expect_damaged = [](const Bytes& file, size_t member) {
    MemberWalk walk = walk_members(file, kHeaderSize, read_archive_header(file).member_count);
    EXPECT_TRUE(walk.damaged);
    EXPECT_EQ(walk.members.size(), member - 1);
    try {
      parse_archive(file, "d.prd");
      ADD_FAILURE() << "not refused";
    } catch (const Error& e) {
      EXPECT_EQ(e.status(), 1);
      EXPECT_EQ(e.message(), "Archive 'd.prd' is damaged: member " + std::to_string(member) +
                                 " runs past the end of the file\n");
    }
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

Bytes joined(std::span<const ByteSpan> pieces) {
  Bytes out;
  for (ByteSpan p : pieces) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(ArchiveWriter, GathersTheSameBytesAsAnAppend) {
  Appended a;
  a.add("a.qb", Bytes(10, 1));
  const Bytes old = a.file();
  a.add("dir\\c.qb", Bytes(5, 2));

  ArchiveWriter w(kFormatTag);
  w.copy_entries(ByteSpan(old).subspan(kHeaderSize), 1);
  const Bytes name = name_field("dir\\c.qb", false);
  const Bytes data(5, 2);
  w.entry(5, 0, name_checksum("dir\\c.qb"), name, data);
  EXPECT_EQ(w.size(), a.file().size());
  EXPECT_EQ(joined(w.pieces()), a.file());

  // The game's layout pads the name field to a multiple of four with zero bytes.
  EXPECT_EQ(name_field("abc", true), (Bytes{'a', 'b', 'c', 0}));
  EXPECT_EQ(name_field("a.qb", true), (Bytes{'a', '.', 'q', 'b', 0, 0, 0, 0}));
}

TEST(ArchiveFormat, OnlyArchivesWithNothingAfterTheirEntriesTakeAppends) {
  Appended a;
  a.add("a.qb", Bytes(10, 1));
  Bytes file = a.file();
  EXPECT_EQ(appendable_entries(file, "t.prd").end, file.size());
  Bytes padded = file;
  padded.resize(2048, 0);  // padded to a sector: the zero bytes go
  EXPECT_EQ(appendable_entries(padded, "t.prd").end, file.size());
  const std::string refusal = "'t.prd' is not an archive, or holds data after its last member; nothing was changed\n";
  Bytes junk = padded;
  junk.back() = 1;
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
